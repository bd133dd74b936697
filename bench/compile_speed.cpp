// Compile speed: a full load of the script compiler (sizing pass, then the
// emitting pass into an image) against `tcc -c` of the same file, a generated
// source of about 60,000 lines that is valid in both languages. Prints the
// ratio qavz / tcc (below 1 means the full load is faster), without and with
// the translation to host code that follows a load.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "compiler/compiler.h"
#include "host/subsystems.h"
#include "vm/arena.h"
#include "vm/translator.h"

namespace {

using Clock = std::chrono::steady_clock;

// Functions of loops, conditions, arithmetic, arrays and calls, each calling
// the one defined before it.
std::string Generate(int functions) {
  std::string s = "int table[64];\nint seed = 7;\n";
  char buf[512];
  for (int f = 0; f < functions; ++f) {
    std::snprintf(buf, sizeof buf,
                  "int work%d(int a, int b)\n{\n\tint i, s, t;\n\tint local[8];\n\ts = 0;\n\tt = b;\n", f);
    s += buf;
    for (int k = 0; k < 6; ++k) {
      std::snprintf(buf, sizeof buf,
                    "\tfor (i = 0; i < a; i++) {\n"
                    "\t\ts += i * b + %d;\n"
                    "\t\tif (s > 1000 && t != %d)\n"
                    "\t\t\ts -= 1000;\n"
                    "\t\telse\n"
                    "\t\t\tt = t ^ (s << 2);\n"
                    "\t\tlocal[i & 7] = s;\n"
                    "\t}\n"
                    "\twhile (t > %d)\n"
                    "\t\tt = t / 2;\n",
                    k + f, k, 10 + k);
      s += buf;
    }
    if (f > 0)
      std::snprintf(buf, sizeof buf, "\ttable[%d] = s + local[3];\n\treturn s + t + work%d(a - 1, b);\n}\n\n",
                    f & 63, f - 1);
    else
      std::snprintf(buf, sizeof buf, "\ttable[0] = s + local[3];\n\treturn s + t;\n}\n\n");
    s += buf;
  }
  s += "int main()\n{\n\treturn work" + std::to_string(functions - 1) + "(3, seed);\n}\n";
  return s;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  qavz::ConnectSubsystems();
  bool qavzOnly = argc > 1 && std::string(argv[1]) == "--qavz-only";  // for profilers
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "qavz_compile_bench";
  std::filesystem::create_directories(dir);
  std::filesystem::path source = dir / "bench.c";
  std::string text = Generate(850);
  std::ofstream(source, std::ios::binary) << text;
  int lines = 0;
  for (char c : text) lines += c == '\n';

  // Best of several rounds each: the machine is shared, and the fastest
  // round is the one least disturbed.
  const int rounds = 15;
  // The full load: sizing pass, image allocation, emitting pass.
  uint32_t code = 0, data = 0;
  double qavz = 1e9, tcc = 1e9, translated = 1e9;
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    if (!qavz::CompileScript(source.c_str(), 0, 0, &code, &data, qavz::CompileMessages::kStderr)) {
      std::fprintf(stderr, "compile failed\n");
      return 1;
    }
    uint32_t size = code + data;
    qavz::Addr image = qavz::TheArena().Alloc(size + 4);
    if (!qavz::CompileScript(source.c_str(), image, size, &code, &data, qavz::CompileMessages::kStderr))
      return 1;
    double compiled = Seconds(Clock::now() - start);
    qavz = std::min(qavz, compiled);
    // And the translation a load makes after the emitting pass.
    auto translating = Clock::now();
    if (!qavz::TranslateImage(image, code, size)) {
      std::fprintf(stderr, "translation failed\n");
      return 1;
    }
    translated = std::min(translated, compiled + Seconds(Clock::now() - translating));
    qavz::DropTranslation(image);
    qavz::TheArena().Free(image);
  }

  if (qavzOnly) {
    std::printf("qavz full load (sizing + emitting pass): %.2f ms\n", qavz * 1000);
    return 0;
  }
  std::string command = "tcc -c \"" + source.string() + "\" -o \"" + (dir / "bench.o").string() + "\"";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "tcc failed or is not installed\n");
    return 1;
  }
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return 1;
    tcc = std::min(tcc, Seconds(Clock::now() - start));
  }

  std::printf("source: %d lines, program %u bytes of code, %u of data\n", lines, code, data);
  std::printf("qavz full load (sizing + emitting pass): %.2f ms\n", qavz * 1000);
  std::printf("tcc -c (process included):               %.2f ms\n", tcc * 1000);
  std::printf("qavz full load and translation:           %.2f ms\n", translated * 1000);
  std::printf("ratio qavz / tcc: %.2f (goal: 1.0 or less)\n", qavz / tcc);
  std::printf("ratio qavz with translation / tcc: %.2f (goal: 1.2 or less)\n", translated / tcc);
  std::filesystem::remove_all(dir);
  return 0;
}
