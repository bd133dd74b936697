// The process start-up of a run, in its order, and its end.
#include "host/runtime.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "compiler/compiler.h"
#include "core/ini.h"
#include "core/report_error.h"
#include "core/save_folder.h"
#include "host/display_mode.h"
#include "host/main_window.h"
#include "host/message_queue.h"
#include "host/script_threads.h"
#include "host/source_watch.h"
#include "host/window_view.h"
#include "platform/instance_lock.h"
#include "platform/path_map.h"
#include "platform/replace_file.h"
#include "platform/video.h"
#include "vm/translator.h"

namespace qavz {

namespace {

constexpr char kMutexName[] = "QAVZ_MUTEX";

// A refused configuration value: always on the terminal (authors start titles
// from one), and as a level-1 message where those are shown.
void ReportConfigWarning(const std::string& file, const std::string& warning) {
  std::string name = std::filesystem::path(file).filename().string();
  if (!Headless() && !std::getenv("QAVZ_LOG"))
    std::fprintf(stderr, "%s: %s\n", name.c_str(), warning.c_str());
  ReportError(kLevelFault, "%s: %s", name.c_str(), warning.c_str());
}

void RequestRaise() { PostMainMessage(Message{kMsgRaiseWindow, 0, 0, {}}); }

// Saves are written to temporary files renamed over their targets; a run
// killed mid-save leaves its temporary beside the target. Those beside the
// configuration and the main script go at start (others at the next save
// of the same file).
void RemoveStaleSaveFiles(const TitlePaths& paths) {
  namespace fs = std::filesystem;
  std::vector<fs::path> dirs;
  for (fs::path dir : {fs::path(paths.baseDir), fs::path(paths.configFile).parent_path(),
                       fs::path(paths.mainScript).parent_path()}) {
    if (dir.empty()) dir = ".";
    std::error_code ec;
    bool seen = false;
    for (const fs::path& d : dirs) seen = seen || fs::equivalent(d, dir, ec);
    if (seen || !fs::is_directory(dir, ec)) continue;
    dirs.push_back(dir);
    platform::RemoveStaleReplacements(dir.string());
  }
}

// Opens the window side: the video driver (null when headless or when no
// display can be opened), the message queue of this thread and the error box.
// False when the driver QAVZ_VIDEO names cannot start.
bool OpenWindowThread(bool headless) {
  std::string error;
  if (!platform::SelectVideoDriver(std::getenv("QAVZ_VIDEO"), headless, &error)) {
    std::fprintf(stderr, "qavz: %s\n", error.c_str());
    return false;
  }
  if (platform::VideoIsNull()) SetHeadless(true);
  ResetMainWindow();
  ResetDisplayMode();
  BindMainThread();
  SetMessageHandler(MainWindowProcedure);
  SetMainWake([] { platform::Video().wake(); });
  SetErrorBox(ShowErrorBox);
  return true;
}

void CloseWindowThread() {
  ShutMainQueue();
  SetMainWake(nullptr);
  SetErrorBox(nullptr);
  platform::QuitVideo();
}

// `qavz run --snapshot`: the frame the window showed last.
bool WriteSnapshot(const std::string& path) {
  std::string error;
  if (SaveSnapshot(path, &error)) return true;
  std::fprintf(stderr, "qavz: snapshot: %s\n", error.c_str());
  return false;
}

// The status of `qavz run` from how the run ended.
int RunCommandStatus(bool timedOut, bool printResult) {
  RunOutcome outcome = CurrentRunOutcome();
  if (timedOut) return kStatusTimeout;
  if (outcome == RunOutcome::kCompileFailed) return kStatusCompileFailed;
  if (outcome == RunOutcome::kFault) return kStatusFault;
  // Only a main that returned has a value to print.
  if (printResult && outcome == RunOutcome::kEnded) std::printf("result: %d\n", MainResult());
  return kStatusOk;
}

}  // namespace

int RunRuntime(const TitlePaths& paths, const RunOptions& options) {
  // Derived paths (step 1) come in; the mutex and class names are fixed (2).
  ThePaths() = paths;
  // A folder the title cannot write sends its saves to the user's data
  // directory; chosen before the configuration, which may have a copy there.
  ChooseSaveFolder(paths.baseDir, paths.name);
  // No display means headless, unless QAVZ_VIDEO asked for a driver by name:
  // that one starts or the run fails with its reason.
  const char* video = std::getenv("QAVZ_VIDEO");
  bool headless = options.headless || (!(video && *video) && !platform::DisplayAvailable());
  SetHeadless(headless);
  ObserveStep("read configuration");  // 3
  TheConfig() = ReadConfig(paths.configFile, CpuHasMmxCached());
  const Config& config = TheConfig();
  SetErrorLevel(config.error);
  // Our own key: 0 runs every program in the interpreter.
  SetTranslationEnabled(IniGetInt(paths.configFile, "qavz", "Translate", 1) != 0);
  for (const std::string& warning : config.warnings) ReportConfigWarning(paths.configFile, warning);
  if (ThePaths().mainScript.empty()) ThePaths().mainScript = MainScriptPath(config, paths.name);  // 4

  // 5. One instance per user, unless "MultipleRunning"; a run without a
  // window has nothing to raise and may run beside others.
  if (config.multipleRunning == 0 && !headless) {
    ObserveStep("single instance");
    if (platform::AcquireInstanceLock(kMutexName, RequestRaise) == platform::InstanceLockResult::kAnotherRuns)
      return 0;
  }
  ObserveStep("current directory");  // 6
  std::error_code ignored;
  std::filesystem::current_path(paths.baseDir, ignored);
  // The main script as a host path, relative to the base directory.
  ThePaths().mainScript = platform::MapPath(ThePaths().mainScript);
  RemoveStaleSaveFiles(ThePaths());

  if (!OpenWindowThread(headless)) {  // 7
    platform::ReleaseInstanceLock();
    return kStatusNoDisplay;
  }
  ObserveStep("create window");  // 8
  if (!CreateMainWindow(config)) {
    CloseWindowThread();
    platform::ReleaseInstanceLock();
    return 0;
  }
  StartDevicesAndServices();
  if (config.fullScreen == 1) {  // 9
    ObserveStep("full screen");
    SwitchDisplayMode(true);
  }
  ObserveStep("message loop");  // 10
  bool timedOut = false;
  if (options.watch) StartWatching();
  bool endWithThreads = (options.exitWhenEnded || Headless()) && !options.watch;
  int code = RunMessageLoop(LoopOptions{endWithThreads, options.timeoutMs}, timedOut);
  StopWatching();
  bool snapshotFailed = !options.snapshot.empty() && !WriteSnapshot(options.snapshot);

  CloseWindowThread();  // 11
  ObserveStep("write back");
  WriteBackFullScreen(paths.configFile, config, IsFullScreen());
  platform::ReleaseInstanceLock();
  if (!options.runCommand) return code;
  int status = RunCommandStatus(timedOut, options.printResult);
  return status == kStatusOk && snapshotFailed ? kStatusSnapshotFailed : status;
}

}  // namespace qavz
