// What the process knows about itself, and ending it at once.
#pragma once

#include <string>
#include <vector>

namespace qavz::platform {

// The absolute path the runtime was started as: argv[0] made absolute, or
// found on PATH when it has no slash; symbolic links are not resolved, so a
// link GAME.exe to the runtime gives .../GAME.exe. Empty when not found.
std::string PathAsStarted(const char* argv0);

// Flushes standard output and error and ends the process at once, without
// running exit handlers or destructors: for a process that has threads it
// could not stop (they may hold locks the normal exit would wait for).
[[noreturn]] void ExitNow(int status);

// The running executable's own file (symbolic links resolved); empty when
// it cannot be found.
std::string ExecutableFile();

// The shared libraries the process has loaded, by path, each once.
std::vector<std::string> LoadedLibraries();

// True when standard error is a terminal (someone reads it as it comes).
bool StandardErrorIsTerminal();

}  // namespace qavz::platform
