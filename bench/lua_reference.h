// The reference the interpreter benchmarks compare against: Debian's lua5.4.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qavz::bench {

// Lua's processor time for `lua` (a chunk of Lua code), measured by Lua
// itself (os.clock) so that start-up is left out; best of three; 0 when
// lua5.4 is missing or fails.
inline double LuaSeconds(const std::string& lua) {
  if (std::system("command -v lua5.4 >/dev/null 2>&1") != 0) return 0;
  std::string out = (std::filesystem::temp_directory_path() / "qavz_bench_lua.txt").string();
  std::string command =
      "lua5.4 -e 'local t0 = os.clock() " + lua + " io.open(\"" + out + "\", \"w\"):write(os.clock() - t0)'";
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    if (std::system(command.c_str()) != 0) return 0;
    double seconds = 0;
    std::ifstream(out) >> seconds;
    if (seconds > 0) best = std::min(best, seconds);
  }
  std::filesystem::remove(out);
  return best < 1e9 ? best : 0;
}

}  // namespace qavz::bench
