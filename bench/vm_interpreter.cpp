// Interpreter speed on hand-assembled programs written the way the compiler
// emits code (locals in the frame, loads and stores around every statement).
//
// For each program it prints millions of instructions per second of the
// interpreter as shipped, and ratios measured in the same run against:
//   - the same loop without the page-map address checks (their cost),
//   - a switch dispatch instead of computed goto,
//   - Lua 5.4 (`lua5.4`) running the same algorithm, when it is installed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/lua_reference.h"
#include "vm/assembler.h"
#include "vm/interpreter.h"
#include "vm/interpreter_loop.h"

namespace {

using namespace qavz;

struct Program {
  const char* name;
  std::string text;
  int32_t expected;  // r0 at the end
  const char* lua;   // the same algorithm for lua5.4
};

const Program kPrograms[] = {
    {"fib(32), recursive",
     "jmp main\n"
     "fib: enter 0\n"
     "\tmovl\tr1, 8(r6)\n\tcmp\t\tr1, $2\n\tjge\t\trec\n"
     "\tmovl\tr0, 8(r6)\n\tleave\t0\n\tret\n"
     "rec:\tmovl\tr1, 8(r6)\n\tsub\t\tr1, $1\n\tpush\tr1\n\tcall\tfib\n\tadd\t\tr7, $4\n"
     "\tmovl\tr2, r0\n\tmovl\tr1, 8(r6)\n\tsub\t\tr1, $2\n\tpush\tr1\n\tcall\tfib\n\tadd\t\tr7, $4\n"
     "\tadd\t\tr0, r2\n\tleave\t0\n\tret\n"
     "main: enter 0\n\tpush\t$32\n\tcall\tfib\n\tadd\t\tr7, $4\n\tleave\t0\n",
     2178309,
     "local function fib(n) if n < 2 then return n end return fib(n-1) + fib(n-2) end "
     "assert(fib(32) == 2178309)"},
    {"sieve of 2,000,000 bytes",
     "main: enter 12\n"
     "\tmovl\tr1, $0\n\tmovl\t-24(r6), r1\n"  // count
     "\tmovl\tr1, $2\n\tmovl\t-28(r6), r1\n"  // i
     "outer:\tmovl\tr1, -28(r6)\n\tcmp\t\tr1, $2000000\n\tjge\t\tdone\n"
     "\tmovl\tr2, $flags\n\tadd\t\tr2, r1\n\tmovbl\tr2, (r2)\n\tcmpl\tr2, $0\n\tjne\t\tnext\n"
     "\tmovl\tr1, -24(r6)\n\tadd\t\tr1, $1\n\tmovl\t-24(r6), r1\n"
     "\tmovl\tr1, -28(r6)\n\tadd\t\tr1, r1\n\tmovl\t-32(r6), r1\n"  // j = i + i
     "inner:\tmovl\tr1, -32(r6)\n\tcmp\t\tr1, $2000000\n\tjge\t\tnext\n"
     "\tmovl\tr2, $flags\n\tadd\t\tr2, r1\n\tmovl\tr3, $1\n\tmovb\t(r2), r3\n"
     "\tmovl\tr1, -32(r6)\n\tmovl\tr2, -28(r6)\n\tadd\t\tr1, r2\n\tmovl\t-32(r6), r1\n\tjmp\t\tinner\n"
     "next:\tmovl\tr1, -28(r6)\n\tadd\t\tr1, $1\n\tmovl\t-28(r6), r1\n\tjmp\t\touter\n"
     "done:\tmovl\tr0, -24(r6)\n\tleave\t12\n"
     ".comm flags, 2000000\n",
     148933,
     "local n = 2000000 local f = {} local c = 0 "
     "for i = 2, n - 1 do if not f[i] then c = c + 1 for j = i + i, n - 1, i do f[j] = true end end end "
     "assert(c == 148933)"},
    {"nested integer loops 3000 x 3000",
     "main: enter 12\n"
     "\tmovl\tr1, $0\n\tmovl\t-24(r6), r1\n\tmovl\t-28(r6), r1\n"
     "outer:\tmovl\tr1, -28(r6)\n\tcmp\t\tr1, $3000\n\tjge\t\tdone\n"
     "\tmovl\tr1, $0\n\tmovl\t-32(r6), r1\n"
     "inner:\tmovl\tr1, -32(r6)\n\tcmp\t\tr1, $3000\n\tjge\t\tnext\n"
     "\tmovl\tr1, -28(r6)\n\tmovl\tr2, -32(r6)\n\txor\t\tr1, r2\n\tmovl\tr2, -24(r6)\n\tadd\t\tr2, r1\n"
     "\tmovl\t-24(r6), r2\n"
     "\tmovl\tr1, -32(r6)\n\tadd\t\tr1, $1\n\tmovl\t-32(r6), r1\n\tjmp\t\tinner\n"
     "next:\tmovl\tr1, -28(r6)\n\tadd\t\tr1, $1\n\tmovl\t-28(r6), r1\n\tjmp\t\touter\n"
     "done:\tmovl\tr0, -24(r6)\n\tleave\t12\n",
     int32_t(uint32_t(16731002592ull & 0xFFFFFFFFu)),
     "local s = 0 for i = 0, 2999 do for j = 0, 2999 do s = s + (i ~ j) end end "
     "assert(s == 16731002592)"},
    {"byte copy 1,000,000 x 10",
     "main: enter 8\n"
     "\tmovl\tr1, $0\n\tmovl\t-24(r6), r1\n"
     "round:\tmovl\tr1, -24(r6)\n\tcmp\t\tr1, $10\n\tjge\t\tdone\n"
     "\tmovl\tr1, $0\n\tmovl\t-28(r6), r1\n"
     "copy:\tmovl\tr1, -28(r6)\n\tcmp\t\tr1, $1000000\n\tjge\t\tnext\n"
     "\tmovl\tr2, $src\n\tadd\t\tr2, r1\n\tmovbl\tr2, (r2)\n\tadd\t\tr2, r1\n"
     "\tmovl\tr3, $dst\n\tadd\t\tr3, r1\n\tmovb\t(r3), r2\n"
     "\tmovl\tr1, -28(r6)\n\tadd\t\tr1, $1\n\tmovl\t-28(r6), r1\n\tjmp\t\tcopy\n"
     "next:\tmovl\tr1, -24(r6)\n\tadd\t\tr1, $1\n\tmovl\t-24(r6), r1\n\tjmp\t\tround\n"
     "done:\tmovl\tr2, $dst\n\tadd\t\tr2, $999999\n\tmovbl\tr0, (r2)\n\tleave\t8\n"
     ".comm src, 1000000\n.comm dst, 1000000\n",
     int32_t(999999 & 0xFF),
     "local n = 1000000 local s, d = {}, {} for i = 0, n - 1 do s[i] = 0 end "
     "for r = 1, 10 do for i = 0, n - 1 do d[i] = (s[i] + i) & 255 end end "
     "assert(d[n - 1] == 63)"},
};

using SliceFunction = int (*)(MachineContext*);

// Runs `program` to its end; seconds, and instructions executed.
double Run(const Program& program, SliceFunction slice, uint64_t& instructions) {
  std::string error;
  MachineContext* c = AssembleContext(program.text, 64 * 1024, &error);
  if (!c) {
    std::fprintf(stderr, "%s: %s\n", program.name, error.c_str());
    std::exit(1);
  }
  uint64_t slices = 0;
  std::clock_t start = std::clock();
  while (c->state == kRunning && !StopFlag().load()) {
    slice(c);
    ++slices;
  }
  double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  if (c->state != kEnded || c->r[0] != program.expected) {
    std::fprintf(stderr, "%s: wrong result %d (state %d)\n", program.name, c->r[0], c->state);
    std::exit(1);
  }
  instructions = slices * 255;  // every slice but the last runs 255
  FreeContext(c);
  return seconds;
}

}  // namespace

int main() {
  SetTrapHandler(nullptr);
  std::printf("%-34s %9s %12s %12s %12s\n", "program", "MIPS", "checks cost", "goto/switch", "vs lua5.4");
  for (const Program& program : kPrograms) {
    // The variants take turns and each keeps its best processor time, so
    // load from other processes on a shared machine hits them alike.
    uint64_t instructions = 0;
    double shipped = 1e9, unchecked = 1e9, switched = 1e9;
    for (int round = 0; round < 5; ++round) {
      shipped = std::min(shipped, Run(program, &RunSlice, instructions));
      unchecked = std::min(
          unchecked,
          Run(
              program, [](MachineContext* c) { return RunSliceLoop<false, true>(c); }, instructions));
      switched = std::min(
          switched,
          Run(
              program, [](MachineContext* c) { return RunSliceLoop<true, false>(c); }, instructions));
    }
    double lua = bench::LuaSeconds(program.lua);
    char luaText[32] = "n/a";
    if (lua > 0) std::snprintf(luaText, sizeof luaText, "%.2fx", lua / shipped);
    std::printf("%-34s %9.1f %+11.1f%% %11.2fx %12s\n", program.name, instructions / shipped / 1e6,
                (shipped / unchecked - 1) * 100, switched / shipped, luaText);
  }
  std::printf(
      "checks cost: extra time of the checked loop over one without address checks\n"
      "goto/switch: time of a switch dispatch over computed goto (above 1 = goto faster)\n"
      "vs lua5.4: Lua's time over ours on the same algorithm (above 1 = we are faster)\n");
  return 0;
}
