// Compiled scripts against Lua 5.4 on the same algorithms: recursive fib(32),
// a sieve over a 2,000,000-byte array, nested integer loops, byte-copy
// loops, a recursive function of six arguments and a loop of native calls
// (bench/scripts/*.c). Prints each script's processor time relative to
// lua5.4's, measured in the same run (above 1 = the script is faster), with
// images translated to host code and in the interpreter alone.
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
#include "vm/native_dispatch.h"
#include "vm/translator.h"

namespace {

using namespace qavz;

struct Case {
  const char* script;
  int32_t expected;  // main's result
  const char* lua;
  bool anyResult = false;  // the result is only compared between the two runs
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
    {"calls.c", 42944,
     "local function f(n, a, b, c, d, e) if n < 2 then return a + b + c + d + e + n end "
     "return (f(n - 1, b, c, d, e, a + 1) + f(n - 2, a, b, c, d, e)) & 65535 end "
     "assert(f(32, 1, 2, 3, 4, 5) == 42944)"},
    {"natives.c", 0,
     "local t = [[forty bytes of text to measure, no more!]] local s = 0 math.randomseed(1) "
     "for i = 0, 999999 do s = s + string.len(t) + (math.random(0, 0x7FFFFFFF) & 7) end "
     "assert(s > 0)",
     true},
};

struct Timing {
  double seconds;
  int32_t result;
};

// Processor seconds to run the script's main to its end (compile and
// translation excluded), translated or not.
Timing ScriptSeconds(const Case& test, bool translate) {
  SetTranslationEnabled(translate);
  std::string path = std::string(QAVZ_SOURCE_DIR) + "/bench/scripts/" + test.script;
  double best = 1e9;
  int32_t result = 0;
  for (int round = 0; round < 3; ++round) {
    MachineContext* c = LoadProgram(path.c_str(), 0, 64 * 1024);
    if (!c) {
      std::fprintf(stderr, "%s: does not compile\n", test.script);
      std::exit(1);
    }
    if (translate != HasTranslation(c->imageBase)) {
      std::fprintf(stderr, "%s: translation %s\n", test.script, translate ? "failed" : "not off");
      std::exit(1);
    }
    std::clock_t start = std::clock();
    while (c->state == kRunning && !StopFlag().load()) RunSlice(c);
    best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
    if (c->state != kEnded || (!test.anyResult && c->r[0] != test.expected)) {
      std::fprintf(stderr, "%s: result %d, state %d\n", test.script, c->r[0], c->state);
      std::exit(1);
    }
    result = c->r[0];
    FreeContext(c);
  }
  return {best, result};
}

}  // namespace

int main() {
  ConnectSubsystems();
  SetTrapHandler(&DispatchNative);
  std::printf("%-10s %10s %10s %10s %11s %11s %9s\n", "script", "on s", "off s", "lua5.4 s", "on vs lua",
              "off vs lua", "on / off");
  bool met = true;
  for (const Case& test : kCases) {
    Timing on = ScriptSeconds(test, true), off = ScriptSeconds(test, false);
    if (on.result != off.result) {
      std::fprintf(stderr, "%s: translated result %d, interpreted %d\n", test.script, on.result, off.result);
      return 1;
    }
    double lua = bench::LuaSeconds(test.lua);
    if (lua > 0) {
      std::printf("%-10s %10.3f %10.3f %10.3f %10.2fx %10.2fx %8.2fx\n", test.script, on.seconds, off.seconds,
                  lua, lua / on.seconds, lua / off.seconds, off.seconds / on.seconds);
      if (&test - kCases < 4) met = met && lua / on.seconds >= 1.5;  // the goal's four
    } else {
      std::printf("%-10s %10.3f %10.3f %10s %11s %11s %8.2fx\n", test.script, on.seconds, off.seconds, "n/a",
                  "n/a", "n/a", off.seconds / on.seconds);
    }
  }
  SetTranslationEnabled(true);
  std::printf("x vs lua: lua5.4's processor time over the script's, translated (on) and interpreted (off)\n");
  std::printf("goal: 1.5x or more translated on fib, sieve, loops and copy: %s\n", met ? "met" : "not met");
  return 0;
}
