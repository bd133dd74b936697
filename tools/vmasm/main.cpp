// qavz-vmasm: assembles a listing-notation text into program bytes, or
// disassembles program bytes back into text.
//
//   qavz-vmasm [-o origin] source.txt image.bin    assemble
//   qavz-vmasm -d [-o origin] image.bin            disassemble to stdout
//
// The origin (default 0x10000) is the machine address of the first byte;
// absolute addresses in the code are computed from it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vm/assembler.h"
#include "vm/disassembler.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qavz-vmasm [-o origin] source.txt image.bin\n"
               "       qavz-vmasm -d [-o origin] image.bin\n");
  return 2;
}

bool ReadFile(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool disassemble = false;
  uint32_t origin = 0x10000;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-d") == 0)
      disassemble = true;
    else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
      origin = uint32_t(std::strtoul(argv[++i], nullptr, 0));
    else
      files.push_back(argv[i]);
  }
  if (files.size() != (disassemble ? 1u : 2u)) return Usage();
  std::string input;
  if (!ReadFile(files[0], input)) {
    std::fprintf(stderr, "qavz-vmasm: cannot read %s\n", files[0]);
    return 1;
  }
  if (disassemble) {
    std::fputs(
        qavz::Disassemble(reinterpret_cast<const uint8_t*>(input.data()), input.size(), origin).c_str(),
        stdout);
    return 0;
  }
  qavz::AssembledProgram program;
  std::string error;
  if (!qavz::Assemble(input, origin, 0, program, error)) {
    std::fprintf(stderr, "%s: %s\n", files[0], error.c_str());
    return 1;
  }
  // The data area below the program's end is part of the image: zeros.
  program.code.resize(program.programSize, 0);
  std::ofstream out(files[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(program.code.data()), std::streamsize(program.code.size()));
  return out ? 0 : 1;
}
