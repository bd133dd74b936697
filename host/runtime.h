// One run of the runtime: start-up, message loop, exit sequence, write-back.
#pragma once

#include <cstdint>
#include <string>

#include "core/config.h"

namespace qavz {

struct RunOptions {
  bool headless = false;       // no window, sound or input hardware
  bool exitWhenEnded = false;  // end the run once every script thread has ended
  bool runCommand = false;     // `qavz run`: exit status from the run's outcome
  bool printResult = false;    // `qavz run --result`
  int64_t timeoutMs = -1;      // `qavz run --timeout`; -1 none
  std::string snapshot;        // `qavz run --snapshot`: PNG of the last frame
  bool watch = false;          // `qavz run --watch`: restart on a source change, never end
};

// Exit statuses of `qavz run`.
enum RunStatus : int {
  kStatusOk = 0,
  kStatusCompileFailed = 1,
  kStatusFault = 2,
  kStatusTimeout = 3,
  kStatusNoDisplay = 4,
  kStatusSnapshotFailed = 5,  // the run was fine but --snapshot was not written
};

// Runs the whole start-up with `paths` (the main script path is formed from
// the configuration when empty), the message loop and the end. Returns the
// process exit status: 0 on every early exit and for titles, the RunStatus
// for `qavz run`.
int RunRuntime(const TitlePaths& paths, const RunOptions& options);

// Device and service start-up, and the exit sequence (run once; a second
// call does nothing). Both run on the window thread.
void StartDevicesAndServices();
void StopDevicesAndServices();

// Tests watch the sequences: each step's name as it runs.
using StepObserver = void (*)(const char* step);
void SetStepObserver(StepObserver observer);
void ObserveStep(const char* step);

}  // namespace qavz
