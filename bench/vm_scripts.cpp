// Compiled scripts against Lua 5.4 on the same algorithms: recursive fib(32),
// a sieve over a 2,000,000-byte array, nested integer loops and byte-copy
// loops (bench/scripts/*.c). Prints each script's processor time relative to
// lua5.4's, measured in the same run (above 1 = the script is faster).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/lua_reference.h"
#include "compiler/compiler.h"
#include "host/subsystems.h"
#include "vm/interpreter.h"
#include "vm/machine_context.h"

namespace {

using namespace qavz;

struct Case {
  const char* script;
  int32_t expected;  // main's result
  const char* lua;
};

const Case kCases[] = {
    {"fib.c", 2178309,
     "local function fib(n) if n < 2 then return n end return fib(n-1) + fib(n-2) end "
     "assert(fib(32) == 2178309)"},
    {"sieve.c", 148933,
     "local n = 2000000 local f = {} local c = 0 "
     "for i = 2, n - 1 do if not f[i] then c = c + 1 for j = i + i, n - 1, i do f[j] = true end end end "
     "assert(c == 148933)"},
    {"loops.c", int32_t(uint32_t(16731002592ull & 0xFFFFFFFFu)),
     "local s = 0 for i = 0, 2999 do for j = 0, 2999 do s = s + (i ~ j) end end "
     "assert(s == 16731002592)"},
    {"copy.c", 63,
     "local n = 1000000 local s, d = {}, {} for i = 0, n - 1 do s[i] = 0 end "
     "for r = 1, 10 do for i = 0, n - 1 do d[i] = (s[i] + i) & 255 end end "
     "assert(d[n - 1] == 63)"},
};

// Processor seconds to run the script's main to its end (compile excluded).
double ScriptSeconds(const Case& test) {
  std::string path = std::string(QAVZ_SOURCE_DIR) + "/bench/scripts/" + test.script;
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    MachineContext* c = LoadProgram(path.c_str(), 0, 64 * 1024);
    if (!c) {
      std::fprintf(stderr, "%s: does not compile\n", test.script);
      std::exit(1);
    }
    std::clock_t start = std::clock();
    while (c->state == kRunning && !StopFlag().load()) RunSlice(c);
    best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
    if (c->state != kEnded || c->r[0] != test.expected) {
      std::fprintf(stderr, "%s: result %d, state %d\n", test.script, c->r[0], c->state);
      std::exit(1);
    }
    FreeContext(c);
  }
  return best;
}

}  // namespace

int main() {
  ConnectSubsystems();
  SetTrapHandler(nullptr);
  std::printf("%-10s %12s %12s %12s\n", "script", "script s", "lua5.4 s", "speed-up");
  for (const Case& test : kCases) {
    double script = ScriptSeconds(test);
    double lua = bench::LuaSeconds(test.lua);
    if (lua > 0)
      std::printf("%-10s %12.3f %12.3f %11.2fx\n", test.script, script, lua, lua / script);
    else
      std::printf("%-10s %12.3f %12s %12s\n", test.script, script, "n/a", "n/a");
  }
  std::printf("speed-up: lua5.4's processor time over the script's (goal: 1.5x or more)\n");
  return 0;
}
