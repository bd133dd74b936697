// LZW throughput against the classic compress/uncompress (package ncompress)
// on the same 40 MB mixed corpus, measured in this run; and archive member
// lookup time for a large directory against a small one.
//
// Ratios above 1 mean qavz is faster. Each figure is the best of five runs
// in processor time, file to file on both sides.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "files/exp_file.h"
#include "files/lzw.h"
#include "files/pack_archive.h"

using namespace qavz;
using Clock = std::chrono::steady_clock;

namespace {

// Text, structured binary (gradients like image rows), noise and long runs,
// in blocks of 64 KiB so every kind recurs across the file.
std::vector<uint8_t> Corpus(size_t size) {
  std::mt19937 rng(2024);
  const char* words[] = {"sprite", "plane",   "the",    "script", "thread", "sound", "a", "of", "window",
                         "native", "palette", "return", "int",    "while",  "if",    "{", "}"};
  std::vector<uint8_t> out;
  out.reserve(size);
  for (int block = 0; out.size() < size; ++block) {
    size_t end = std::min(size, out.size() + 65536);
    switch (block % 4) {
      case 0:
        while (out.size() < end) {
          const char* w = words[rng() % (sizeof words / sizeof *words)];
          out.insert(out.end(), w, w + std::strlen(w));
          out.push_back(rng() % 9 == 0 ? '\n' : ' ');
        }
        break;
      case 1:
        for (uint32_t i = 0; out.size() < end; ++i) out.push_back(uint8_t((i % 640) / 3 + (i / 640) % 7));
        break;
      case 2:
        while (out.size() < end) out.push_back(uint8_t(rng()));
        break;
      default:
        while (out.size() < end)
          out.insert(out.end(), std::min<size_t>(end - out.size(), rng() % 500), uint8_t(rng()));
    }
  }
  out.resize(size);
  return out;
}

// Processor time (user + system) of one run of `f` in this process.
template <typename F>
double Time(F f) {
  std::clock_t t0 = std::clock();
  if (!f()) {
    std::fprintf(stderr, "run failed\n");
    std::exit(1);
  }
  return double(std::clock() - t0) / CLOCKS_PER_SEC;
}

// Processor time of a shell command, as the shell's `times` reports for its
// children ("0m0.119s 0m0.004s" on the second line).
double CommandTime(const std::string& command, const std::string& scratch) {
  std::string script = command + "; times > " + scratch;
  if (std::system(("bash -c '" + script + "'").c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  std::ifstream in(scratch);
  std::string self, children;
  std::getline(in, self);
  std::getline(in, children);
  double total = 0;
  int minutes;
  double seconds;
  const char* p = children.c_str();
  for (int i = 0; i < 2 && std::sscanf(p, "%dm%lfs", &minutes, &seconds) == 2; ++i) {
    total += minutes * 60 + seconds;
    p = std::strchr(p, ' ') ? std::strchr(p, ' ') + 1 : "";
  }
  return total;
}

// Best of five processor times, the two sides taking turns. Processor time
// rather than wall time: the machine may be busy with other work.
template <typename F>
void BestPair(F ours, const std::string& reference, const std::string& scratch, double& ourBest,
              double& refBest) {
  ourBest = refBest = 1e30;
  for (int i = 0; i < 5; ++i) {
    ourBest = std::min(ourBest, Time(ours));
    refBest = std::min(refBest, CommandTime(reference, scratch));
  }
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> data(size_t(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
  return data;
}

// Time of `lookups` member lookups in a sorted directory of `n` entries.
double LookupTime(int32_t n, int lookups) {
  std::vector<uint8_t> dir(size_t(n) * kPackEntrySize, 0);
  std::vector<std::string> names;
  for (int32_t i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "bg\\tile%06d.bmp", i);
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](auto& a, auto& b) { return PackNameCompare(a, b) < 0; });
  for (int32_t i = 0; i < n; ++i)
    std::memcpy(&dir[size_t(i) * kPackEntrySize], names[i].data(), names[i].size());
  std::mt19937 rng(1);
  auto t0 = Clock::now();
  for (int i = 0; i < lookups; ++i) {
    PackMember m;
    if (FindPackMember(dir.data(), n, ~0ull, names[rng() % n], m) != PackLookup::kFound) std::abort();
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main() {
  if (std::system("command -v compress >/dev/null 2>&1") != 0) {
    std::fprintf(stderr, "compress (package ncompress) is needed for the reference\n");
    return 1;
  }
  std::string dir = (std::filesystem::temp_directory_path() / "qavz-lzw-bench").string();
  std::filesystem::create_directories(dir);
  std::string raw = dir + "/corpus.raw", ours = dir + "/corpus.qav", theirs = dir + "/corpus.Z";
  std::vector<uint8_t> corpus = Corpus(40u << 20);
  WriteFile(raw, corpus);
  double mb = corpus.size() / 1e6;

  double ourPack, refPack, ourExpand, refExpand;
  std::string scratch = dir + "/times.txt";
  BestPair(
      [&] {
        std::vector<uint8_t> in = ReadFile(raw);
        return WriteCompressedFile(ours.c_str(), in.data(), uint32_t(in.size()));
      },
      "compress -b15 -c " + raw + " > " + theirs, scratch, ourPack, refPack);
  std::string outOurs = dir + "/out.ours", outRef = dir + "/out.ref";
  // "compress -d" is ncompress's own expander (Debian's uncompress command
  // may be gzip's script).
  BestPair(
      [&] {
        std::vector<uint8_t> out;
        if (!LoadExpFile(ours.c_str(), out)) return false;
        WriteFile(outOurs, out);
        return out.size() == corpus.size();
      },
      "compress -d -c " + theirs + " > " + outRef, scratch, ourExpand, refExpand);
  if (ReadFile(outOurs) != corpus || ReadFile(outRef) != corpus) {
    std::fprintf(stderr, "a round trip lost data\n");
    return 1;
  }

  double ourSize = double(std::filesystem::file_size(ours)),
         refSize = double(std::filesystem::file_size(theirs));
  std::printf("corpus: %.1f MB mixed (text, gradients, noise, runs)\n", mb);
  std::printf("compression:  qavz %.1f MB/s, compress -b15 %.1f MB/s, ratio %.2f\n", mb / ourPack,
              mb / refPack, refPack / ourPack);
  std::printf("expansion:    qavz %.1f MB/s, compress -d %.1f MB/s, ratio %.2f\n", mb / ourExpand,
              mb / refExpand, refExpand / ourExpand);
  std::printf("output size:  qavz %.1f%%, compress -b15 %.1f%% of the input\n", 100 * ourSize / corpus.size(),
              100 * refSize / corpus.size());

  std::vector<uint8_t> image, plain;
  double memPack = Time([&] { return CompressToMemory(corpus.data(), uint32_t(corpus.size()), image); });
  double memExpand = Time([&] { return ExpandFromMemory(image.data(), image.size(), plain); });
  std::printf("in memory:    qavz compresses %.1f MB/s, expands %.1f MB/s\n", mb / memPack, mb / memExpand);

  double small = LookupTime(1024, 200000), large = LookupTime(65536, 200000);
  std::printf("member lookup: 65536 entries take %.2fx the time of 1024 (log2 ratio 1.60, linear 64)\n",
              large / small);
  std::filesystem::remove_all(dir);
  return 0;
}
