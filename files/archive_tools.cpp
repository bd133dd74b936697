#include "files/archive_tools.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/lzw.h"
#include "files/pack_archive.h"
#include "platform/file_system.h"
#include "platform/replace_file.h"
#include "platform/text_encoding.h"

namespace qavz {

namespace fs = std::filesystem;

namespace {

int Fail(const char* verb, const std::string& text) {
  std::fprintf(stderr, "qavz %s: %s\n", verb, text.c_str());
  return 1;
}

bool ReadWhole(const fs::path& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff size = in.tellg();
  if (size < 0) return false;
  out.resize(size_t(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(out.data()), std::streamsize(size));
  return in.gcount() == size;
}

// Output files replace what was there only once they are written whole.
bool WriteWhole(const fs::path& path, const uint8_t* data, size_t size) {
  return platform::ReplaceFile(path.string(), data, size);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

// How names are spelt on disk: as the archive's bytes (code page 932), or
// in UTF-8 (converted to and from code page 932 in the archive).
enum class DiskNames { kCp932, kUtf8 };

struct Member {
  std::string name;  // '\' between parts
  fs::path file;
  uint64_t size;
};

void Warn(const char* verb, const std::string& text) {
  std::fprintf(stderr, "qavz %s: %s\n", verb, text.c_str());
}

// True when `dir` is `path` or one of the folders it was reached through.
bool Revisits(const fs::path& dir, const std::vector<fs::path>& ancestors) {
  std::error_code ec;
  for (const fs::path& a : ancestors)
    if (fs::equivalent(dir, a, ec)) return true;
  return false;
}

// Adds the plain files below `dir` to `members`, named `prefix` + their path
// below it. Names come from the entries themselves, never from where a link
// leads. A symbolic link is skipped with a warning, or with `follow` taken
// under its own name (a link back to a folder above it is skipped).
bool Collect(const fs::path& dir, const std::string& prefix, bool follow, DiskNames names,
             std::vector<fs::path>& ancestors, std::vector<Member>& members, std::string& error) {
  std::error_code ec;
  ancestors.push_back(dir);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    std::string own = path.filename().string();
    std::string archived = names == DiskNames::kUtf8 ? platform::ToShiftJisExactly(own) : own;
    if (archived.empty()) {
      error = path.string() + ": the name is not UTF-8 text that code page 932 can spell";
      return false;
    }
    std::string name = prefix + archived;
    bool link = it->is_symlink(ec);
    if (link && !follow) {
      Warn("pack", "skipping symbolic link " + path.string() + " (--follow stores what it leads to)");
      continue;
    }
    std::error_code statusError;
    fs::file_status status = it->status(statusError);
    if (link && !fs::exists(status)) {
      Warn("pack", "skipping broken symbolic link " + path.string());
      continue;
    }
    if (fs::is_directory(status)) {
      if (link && Revisits(path, ancestors)) {
        Warn("pack", "skipping symbolic link " + path.string() + ", which leads back to a folder above it");
        continue;
      }
      if (!Collect(path, name + "\\", follow, names, ancestors, members, error)) return false;
    } else if (fs::is_regular_file(status)) {
      members.push_back({name, path, it->file_size(statusError)});
      if (statusError) ec = statusError;
    }
  }
  ancestors.pop_back();
  if (ec) error = "cannot list " + dir.string() + ": " + ec.message();
  return !ec;
}

// pack [--follow] DIR: every plain file under DIR becomes a member named by
// its path below DIR, sorted the way the lookup searches.
int Pack(const std::string& dirArg, bool follow, DiskNames names) {
  std::string dir = dirArg;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return Fail("pack", dir + " is not a directory");
  std::vector<Member> members;
  std::vector<fs::path> ancestors;
  std::string error;
  if (!Collect(dir, "", follow, names, ancestors, members, error)) return Fail("pack", error);
  std::vector<std::string> parts;
  for (const Member& m : members) {
    if (m.name.size() >= kPackNameSize) return Fail("pack", "member name longer than 31 bytes: " + m.name);
    if (!SplitMemberName(m.name, parts)) return Fail("pack", "file name cannot be a member name: " + m.name);
  }
  std::sort(members.begin(), members.end(),
            [](const Member& a, const Member& b) { return PackNameCompare(a.name, b.name) < 0; });
  for (size_t i = 1; i < members.size(); ++i)
    if (PackNameCompare(members[i - 1].name, members[i].name) == 0)
      return Fail("pack",
                  "members differ only in letter case: " + members[i - 1].name + ", " + members[i].name);

  std::vector<uint8_t> head(kPackHeaderSize + members.size() * kPackEntrySize, 0);
  std::memcpy(head.data(), kPackMagic, sizeof kPackMagic);
  Put32(head, 8, uint32_t(members.size()));
  uint64_t offset = head.size();
  for (size_t i = 0; i < members.size(); ++i) {
    size_t at = kPackHeaderSize + i * kPackEntrySize;
    if (offset + members[i].size > 0xFFFFFFFFu) return Fail("pack", "archive larger than 4 GiB");
    std::memcpy(&head[at], members[i].name.data(), members[i].name.size());
    Put32(head, at + 32, uint32_t(offset));
    Put32(head, at + 36, uint32_t(members[i].size));
    offset += members[i].size;
  }
  std::string outPath = dir + ".bin";
  platform::FileReplacement out;
  if (!out.Begin(outPath)) return Fail("pack", "cannot write " + outPath);
  bool written = out.Write(head.data(), head.size());
  for (const Member& m : members) {
    std::vector<uint8_t> data;
    if (!ReadWhole(m.file, data) || data.size() != m.size)
      return Fail("pack", "cannot read " + m.file.string());
    written = written && out.Write(data.data(), data.size());
  }
  if (!written || !out.Commit()) return Fail("pack", "cannot write " + outPath);
  std::printf("%s: %zu members\n", outPath.c_str(), members.size());
  return 0;
}

const char* Refusal(platform::TreeWriter::Result result) {
  switch (result) {
    case platform::TreeWriter::Result::kLink:
      return "is a symbolic link";
    case platform::TreeWriter::Result::kNotPlain:
      return "is not a plain file or folder";
    default:
      return "cannot be written";
  }
}

// Members are written below the output folder and never through a symbolic
// link in it; a member that would be is refused with a message, the others
// are still written, and the status is then 1.
int Unpack(const std::string& file, const std::string& dirArg, DiskNames names) {
  std::vector<uint8_t> archive;
  if (!ReadWhole(file, archive)) return Fail("unpack", "cannot read " + file);
  int32_t count = 0;
  if (archive.size() < kPackHeaderSize || !ReadPackHeader(archive.data(), archive.size(), count))
    return Fail("unpack", file + " is not a pack archive");
  std::string dir = dirArg;
  if (dir.empty()) {
    dir = file;
    size_t n = dir.size();
    if (n > 4 && (dir.compare(n - 4, 4, ".bin") == 0 || dir.compare(n - 4, 4, ".BIN") == 0))
      dir.resize(n - 4);
    else
      dir += ".d";
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  platform::TreeWriter tree;
  if (!tree.Open(dir)) return Fail("unpack", "cannot open the folder " + dir);
  int status = 0;
  std::vector<std::string> parts;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* e = archive.data() + kPackHeaderSize + size_t(i) * kPackEntrySize;
    std::string name(PackEntryName(e));
    uint32_t offset, size;
    std::memcpy(&offset, e + 32, 4);
    std::memcpy(&size, e + 36, 4);
    if (name.size() >= kPackNameSize || !SplitMemberName(name, parts))
      return Fail("unpack", "bad member name in entry " + std::to_string(i));
    if (uint64_t(offset) + size > archive.size())
      return Fail("unpack", "member " + name + " runs past the end of the archive");
    if (names == DiskNames::kUtf8)
      for (std::string& part : parts) part = platform::ToUtf8(part);
    size_t at = 0;
    platform::TreeWriter::Result result = tree.Write(parts, archive.data() + offset, size, at);
    if (result != platform::TreeWriter::Result::kWritten) {
      std::string where = dir;
      for (size_t k = 0; k <= at && k < parts.size(); ++k) where += "/" + parts[k];
      status = Fail("unpack", "member " + name + " not written: " + where + " " + Refusal(result));
    }
  }
  std::printf("%s: %d members\n", dir.c_str(), count);
  return status;
}

int Compress(const std::string& in, const std::string& out) {
  std::vector<uint8_t> data, packed;
  if (!ReadWhole(in, data)) return Fail("compress", "cannot read " + in);
  if (data.size() > 0xFFFFFFFFu) return Fail("compress", in + " is larger than 4 GiB");
  // An empty file is the header alone, which expands to nothing.
  if (!CompressToMemory(data.data(), uint32_t(data.size()), packed) && !data.empty())
    return Fail("compress", "cannot compress " + in);
  if (!WriteWhole(out, packed.data(), packed.size())) return Fail("compress", "cannot write " + out);
  return 0;
}

// A header that claims more than the stream can give is refused as corrupt;
// what a stream that ends early leaves out is written as zeros.
int Expand(const std::string& in, const std::string& out) {
  std::vector<uint8_t> data, plain;
  uint32_t declared = 0;
  if (!ReadWhole(in, data)) return Fail("expand", "cannot read " + in);
  if (data.size() < 8 || !ExpandFromMemory(data.data(), data.size(), plain, &declared))
    return Fail("expand", in + " is not a compressed file or its data is corrupt");
  platform::FileReplacement file;
  bool ok = file.Begin(out) && file.Write(plain.data(), plain.size());
  static const uint8_t kZeros[65536] = {};
  for (uint64_t left = declared - plain.size(); ok && left > 0;) {
    size_t n = left < sizeof kZeros ? size_t(left) : sizeof kZeros;
    ok = file.Write(kZeros, n);
    left -= n;
  }
  if (!ok || !file.Commit()) return Fail("expand", "cannot write " + out);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: qavz pack [--follow] [--names utf8|cp932] DIR\n"
               "       qavz unpack [--names utf8|cp932] FILE.bin [DIR]\n"
               "       qavz compress IN OUT\n"
               "       qavz expand IN OUT\n");
  return 2;
}

// The options of pack and unpack, in any order among the operands; false
// for one that is unknown or lacks its value.
bool ReadOptions(int argc, char** argv, bool& follow, DiskNames& names, std::vector<std::string>& operands) {
  std::string verb = argv[0];
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    std::string value = a.rfind("--names=", 0) == 0 ? a.substr(8) : "";
    if (a == "--names" && i + 1 < argc) value = argv[++i];
    if (a == "--follow" && verb == "pack") {
      follow = true;
    } else if (a == "--names" || a.rfind("--names=", 0) == 0) {
      if (value != "utf8" && value != "cp932") return false;
      names = value == "utf8" ? DiskNames::kUtf8 : DiskNames::kCp932;
    } else if (a.size() > 1 && a[0] == '-') {
      return false;
    } else {
      operands.push_back(a);
    }
  }
  return true;
}

}  // namespace

int RunArchiveTool(int argc, char** argv) {
  if (argc < 1 || !argv || !argv[0]) return Usage();
  std::string verb = argv[0];
  try {
    bool follow = false;
    DiskNames names = DiskNames::kCp932;
    std::vector<std::string> operands;
    bool named = verb == "pack" || verb == "unpack";
    if (named && !ReadOptions(argc, argv, follow, names, operands)) return Usage();
    size_t n = operands.size();
    if (verb == "pack" && n == 1) return Pack(operands[0], follow, names);
    if (verb == "unpack" && (n == 1 || n == 2)) return Unpack(operands[0], n == 2 ? operands[1] : "", names);
    if (verb == "compress" && argc == 3) return Compress(argv[1], argv[2]);
    if (verb == "expand" && argc == 3) return Expand(argv[1], argv[2]);
  } catch (const std::exception& e) {
    return Fail(verb.c_str(), e.what());
  }
  return Usage();
}

}  // namespace qavz
