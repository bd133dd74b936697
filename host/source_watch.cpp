#include "host/source_watch.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "compiler/compiler.h"
#include "host/message_queue.h"
#include "host/script_threads.h"

namespace qavz {

namespace {

namespace fs = std::filesystem;

// How often the sources are looked at, and how long a change must rest
// before the restart (an editor may save in several writes).
constexpr auto kPollInterval = std::chrono::milliseconds(200);
constexpr auto kSettle = std::chrono::milliseconds(100);

// What a source looked like when last seen: absent files count as a state.
struct Stamp {
  bool exists = false;
  fs::file_time_type time{};
  uintmax_t size = 0;
  bool operator!=(const Stamp& o) const { return exists != o.exists || time != o.time || size != o.size; }
};

Stamp StampOf(const fs::path& path) {
  std::error_code ec;
  Stamp s;
  s.time = fs::last_write_time(path, ec);
  s.exists = !ec;
  if (s.exists) s.size = fs::file_size(path, ec);
  return s;
}

std::thread Watcher;
std::mutex WatchLock;
std::condition_variable WatchWake;
bool WatchStop = false;
bool Watching = false;
std::map<fs::path, Stamp> Known;  // under WatchLock

// Adds the sources of the latest compile (also those of programs started
// by call and jump on script threads); their stamps are taken now.
void AddCompiledSources(std::map<fs::path, Stamp>& known) {
  std::error_code ec;
  for (const std::string& source : LastCompileSources()) {
    fs::path path = fs::absolute(source, ec).lexically_normal();
    if (!known.count(path)) known[path] = StampOf(path);
  }
}

// True when a known source changed since it was last seen.
bool Look(std::map<fs::path, Stamp>& known) {
  AddCompiledSources(known);
  bool changed = false;
  for (auto& [path, stamp] : known) {
    Stamp now = StampOf(path);
    if (now != stamp) changed = true, stamp = now;
  }
  return changed;
}

void Watch() {
  std::map<fs::path, Stamp>& known = Known;
  std::unique_lock<std::mutex> lock(WatchLock);
  while (!WatchWake.wait_for(lock, kPollInterval, [] { return WatchStop; })) {
    if (!Look(known)) continue;
    while (!WatchWake.wait_for(lock, kSettle, [] { return WatchStop; }) && Look(known)) {
    }
    if (WatchStop) break;
    std::fprintf(stderr, "qavz: a source changed; restarting\n");
    PostMainMessage(Message{kMsgRestart, 0, 0, {}});
  }
}

}  // namespace

void StartWatching() {
  StopWatching();
  std::lock_guard<std::mutex> hold(WatchLock);
  WatchStop = false;
  Watching = true;
  Known.clear();
  Watcher = std::thread(Watch);
}

void NoteCompiledSources() {
  std::lock_guard<std::mutex> hold(WatchLock);
  if (Watching) AddCompiledSources(Known);
}

void StopWatching() {
  if (!Watcher.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(WatchLock);
    WatchStop = true;
    Watching = false;
  }
  WatchWake.notify_all();
  Watcher.join();
}

int32_t OnRestartMessage() {
  RestartProgram();
  return 1;
}

}  // namespace qavz
