// The command line of `qavz`.
#pragma once

#include <cstdint>
#include <string>

namespace qavz {

enum class Command { kTitle, kRun, kCheck, kListing, kArchiveTool, kTool, kHelp, kVersion, kUsage };

struct CommandLine {
  Command command = Command::kUsage;
  std::string title;       // kTitle: the title's executable path (absolute)
  std::string script;      // kRun, kCheck, kListing: FILE.c
  std::string configFile;  // kRun: --config
  std::string snapshot;    // kRun: --snapshot, the PNG file for the last frame
  bool headless = false;   // kRun: --headless
  bool watch = false;      // kRun: --watch
  bool printResult = false;
  bool echo = false;     // kListing: --echo
  std::string messages;  // --messages=gnu|classic; empty: by the terminal and locale
  int64_t timeoutMs = -1;
  int toolArgument = 0;  // kArchiveTool, kTool: argv index of the tool's verb
  std::string error;     // kUsage: what is wrong (empty: nothing was given)
};

// `argv0` is the path the runtime was started as (found on PATH if needed).
CommandLine ParseCommandLine(int argc, const char* const* argv, const std::string& argv0Path);

// The executable path a title argument stands for: GAME.EXE as named (it is
// never run), GAME.cfg (the executable beside it), or a folder that holds
// exactly one .cfg file. Empty, with `error` set, when it stands for none.
std::string ResolveTitle(const std::string& argument, std::string& error);

extern const char kUsageText[];

// GNU-form compiler messages: asked for by --messages, or by default when
// standard error is a terminal and the locale (LC_ALL, LC_MESSAGES, LANG,
// the first one set) is not Japanese.
bool WantGnuMessages(const std::string& option, bool stderrIsTerminal, const char* lcAll,
                     const char* lcMessages, const char* lang);

}  // namespace qavz
