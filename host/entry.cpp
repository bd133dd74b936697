#include "host/entry.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "compiler/command_line.h"
#include "compiler/compiler.h"
#include "core/config.h"
#include "files/archive_tools.h"
#include "host/command_line.h"
#include "host/message_queue.h"
#include "host/runtime.h"
#include "host/script_threads.h"
#include "host/subsystems.h"
#include "host/tool_commands.h"
#include "platform/process.h"
#include "platform/signals.h"

#ifndef QAVZ_VERSION
#define QAVZ_VERSION "0.0.0"
#endif

namespace qavz {

namespace {

constexpr int kStatusUsage = 2;

void CloseOnSignal() { PostMainMessage(Message{kMsgClose, 0, 0, {}}); }

bool HeadlessFromEnvironment() {
  const char* value = std::getenv("QAVZ_HEADLESS");
  return value && *value && *value != '0';
}

// `qavz run FILE.c`: FILE.c's folder is the base directory and the current
// directory; the configuration is the one given, or none (every default).
int RunScript(const CommandLine& line) {
  namespace fs = std::filesystem;
  fs::path script = AbsolutePath(line.script);
  TitlePaths paths = DerivePaths((script.parent_path() / script.stem()).string() + ".exe");
  paths.configFile = line.configFile.empty() ? "" : AbsolutePath(line.configFile);
  paths.mainScript = script.filename().string();
  RunOptions options;
  options.headless = line.headless || HeadlessFromEnvironment();
  options.exitWhenEnded = true;
  options.runCommand = true;
  options.printResult = line.printResult;
  options.timeoutMs = line.timeoutMs;
  options.snapshot = line.snapshot.empty() ? "" : AbsolutePath(line.snapshot);
  options.watch = line.watch;
  return RunRuntime(paths, options);
}

int RunTitle(const CommandLine& line) {
  RunOptions options;
  options.headless = HeadlessFromEnvironment();
  return RunRuntime(DerivePaths(line.title), options);
}

// Chosen before anything compiles; paths in messages are shown relative to
// the folder qavz was started in.
void ChooseMessageForm(const CommandLine& line) {
  // Watching streams compile errors to the terminal: in GNU form unless
  // the classic one was asked for.
  bool gnu = (line.watch && line.messages.empty()) ||
             WantGnuMessages(line.messages, platform::StandardErrorIsTerminal(), std::getenv("LC_ALL"),
                             std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  std::error_code ec;
  SetMessageForm(gnu ? MessageForm::kGnu : MessageForm::kClassic, std::filesystem::current_path(ec).string());
}

}  // namespace

int RunProcess(int argc, char** argv) {
  ConnectSubsystems();
  CommandLine line = ParseCommandLine(argc, argv, platform::PathAsStarted(argc > 0 ? argv[0] : nullptr));
  ChooseMessageForm(line);
  switch (line.command) {
    case Command::kHelp:
      std::fputs(kUsageText, stdout);
      std::fputs(ToolUsageLines().c_str(), stdout);
      return 0;
    case Command::kVersion:
      std::printf("qavz %s\n", QAVZ_VERSION);
      return 0;
    case Command::kUsage:
      if (!line.error.empty()) std::fprintf(stderr, "qavz: %s\n", line.error.c_str());
      std::fputs(kUsageText, stderr);
      std::fputs(ToolUsageLines().c_str(), stderr);
      return kStatusUsage;
    case Command::kCheck:
      return RunCheckCommand(line.script);
    case Command::kListing:
      return RunListingCommand(line.script, line.echo);
    case Command::kArchiveTool:
      return RunArchiveTool(argc - line.toolArgument, argv + line.toolArgument);
    case Command::kTool:
      return FindToolCommand(argv[line.toolArgument])
          ->run(argc - line.toolArgument, argv + line.toolArgument);
    case Command::kRun:
    case Command::kTitle:
      break;
  }
  platform::WatchTerminationSignals(CloseOnSignal);
  int status = line.command == Command::kRun ? RunScript(line) : RunTitle(line);
  // A thread still stuck in a host call after the exit sequence may hold
  // locks that the normal process exit would wait for.
  if (AbandonedThreadCount() > 0) platform::ExitNow(status);
  return status;
}

}  // namespace qavz
