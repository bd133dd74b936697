// Random and mutated sources through the script compiler. Input: the main
// source, optionally a zero byte and the text of "inc.h" that it may include.
// Every input must compile or fail cleanly; a source that passes the sizing
// pass must pass the emitting pass into an image of exactly its size, with
// the same code and data sizes.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "compiler/compiler.h"
#include "host/subsystems.h"
#include "vm/arena.h"

using namespace qavz;

namespace {

void WriteFile(const char* name, const uint8_t* data, size_t size) {
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  static bool ready = [] {
    ConnectSubsystems();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "qavz_fuzz_compiler";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    return true;
  }();
  (void)ready;
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  size_t mainSize = zero ? size_t(zero - data) : size;
  WriteFile("main.c", data, mainSize);
  if (zero)
    WriteFile("inc.h", zero + 1, size - mainSize - 1);
  else
    std::filesystem::remove("inc.h");

  uint32_t code = 0, data1 = 0;
  if (!CompileScript("main.c", 0, 0, &code, &data1, CompileMessages::kCollectOnly)) return 0;
  uint32_t total = code + data1;
  Addr image = TheArena().Alloc(total + 4);
  if (!image) return 0;
  uint32_t code2 = 0, data2 = 0;
  bool ok = CompileScript("main.c", image, total, &code2, &data2, CompileMessages::kCollectOnly);
  TheArena().Free(image);
  if (!ok || code2 != code || data2 != data1) __builtin_trap();
  return 0;
}
