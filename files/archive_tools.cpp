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

bool WriteWhole(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  out.close();
  return bool(out);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

struct Member {
  std::string name;  // '\' between parts
  fs::path file;
  uint64_t size;
};

// pack DIR: every regular file under DIR becomes a member named by its path
// below DIR, sorted the way the lookup searches.
int Pack(const std::string& dirArg) {
  std::string dir = dirArg;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return Fail("pack", dir + " is not a directory");
  std::vector<Member> members;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string name = fs::relative(it->path(), dir, ec).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    if (name.size() >= kPackNameSize) return Fail("pack", "member name longer than 31 bytes: " + name);
    members.push_back({name, it->path(), it->file_size(ec)});
  }
  if (ec) return Fail("pack", "cannot list " + dir + ": " + ec.message());
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
  std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
  for (const Member& m : members) {
    std::vector<uint8_t> data;
    if (!ReadWhole(m.file, data) || data.size() != m.size)
      return Fail("pack", "cannot read " + m.file.string());
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  }
  out.close();
  if (!out) return Fail("pack", "cannot write " + outPath);
  std::printf("%s: %zu members\n", outPath.c_str(), members.size());
  return 0;
}

// A member name as a relative path below the output directory; false for
// names that would leave it.
bool SafeRelative(const std::string& name, fs::path& rel) {
  std::string part;
  rel.clear();
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '\\' && name[i] != '/') {
      part += name[i];
      continue;
    }
    if (part.empty() || part == "." || part == "..") return false;
    rel /= part;
    part.clear();
  }
  return !rel.empty();
}

int Unpack(const std::string& file, const std::string& dirArg) {
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
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* e = archive.data() + kPackHeaderSize + size_t(i) * kPackEntrySize;
    std::string name(PackEntryName(e));
    uint32_t offset, size;
    std::memcpy(&offset, e + 32, 4);
    std::memcpy(&size, e + 36, 4);
    fs::path rel;
    if (name.size() >= kPackNameSize || !SafeRelative(name, rel))
      return Fail("unpack", "bad member name in entry " + std::to_string(i));
    if (uint64_t(offset) + size > archive.size())
      return Fail("unpack", "member " + name + " runs past the end of the archive");
    fs::path target = fs::path(dir) / rel;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (!WriteWhole(target, archive.data() + offset, size))
      return Fail("unpack", "cannot write " + target.string());
  }
  std::printf("%s: %d members\n", dir.c_str(), count);
  return 0;
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

int Expand(const std::string& in, const std::string& out) {
  std::vector<uint8_t> data, plain;
  uint32_t declared = 0;
  if (!ReadWhole(in, data)) return Fail("expand", "cannot read " + in);
  if (data.size() < 8 || !ExpandFromMemory(data.data(), data.size(), plain, &declared))
    return Fail("expand", in + " is not a compressed file or its data is corrupt");
  plain.resize(declared, 0);  // a stream that ends early leaves zeros
  if (!WriteWhole(out, plain.data(), plain.size())) return Fail("expand", "cannot write " + out);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: qavz pack DIR\n"
               "       qavz unpack FILE.bin [DIR]\n"
               "       qavz compress IN OUT\n"
               "       qavz expand IN OUT\n");
  return 2;
}

}  // namespace

int RunArchiveTool(int argc, char** argv) {
  if (argc < 1 || !argv || !argv[0]) return Usage();
  std::string verb = argv[0];
  try {
    if (verb == "pack" && argc == 2) return Pack(argv[1]);
    if (verb == "unpack" && (argc == 2 || argc == 3)) return Unpack(argv[1], argc == 3 ? argv[2] : "");
    if (verb == "compress" && argc == 3) return Compress(argv[1], argv[2]);
    if (verb == "expand" && argc == 3) return Expand(argv[1], argv[2]);
  } catch (const std::exception& e) {
    return Fail(verb.c_str(), e.what());
  }
  return Usage();
}

}  // namespace qavz
