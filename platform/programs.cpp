#include "platform/programs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace qavz::platform {

namespace {

// A thread of its own waits for the child, so the process never collects
// zombies and never blocks on one.
void Reap(pid_t pid) {
  try {
    std::thread([pid] {
      int status;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // No thread: the child is collected as a zombie at exit.
  }
}

pid_t Spawn(const std::string& path, const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // The runtime's own files, sockets and devices stay its own.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A child of its own process group: a Ctrl+C meant for the runtime is
  // not its business.
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  pid_t pid = -1;
  int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

}  // namespace

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

std::string FindOnPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    start = end + 1;
    // An empty entry would mean the current folder, which the caller has
    // searched already as the title's own.
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

bool StartProgram(const std::string& path, const std::vector<std::string>& argv) {
  pid_t pid = Spawn(path, argv);
  if (pid < 0) return false;
  Reap(pid);
  return true;
}

bool OpenWithDesktop(const std::string& target, int waitMs) {
  std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return false;
  pid_t pid = Spawn(opener, {"xdg-open", target});
  if (pid < 0) return false;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= end) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Reap(pid);
  return true;
}

bool SetDesktopWallpaper(const std::string& uri, const std::string& options) {
  std::string gsettings = FindOnPath("gsettings");
  if (gsettings.empty()) return false;
  const char* schema = "org.gnome.desktop.background";
  const std::vector<std::vector<std::string>> settings = {
      {"gsettings", "set", schema, "picture-uri", uri},
      {"gsettings", "set", schema, "picture-uri-dark", uri},
      {"gsettings", "set", schema, "picture-options", options},
  };
  bool any = false;
  for (const auto& argv : settings) any = StartProgram(gsettings, argv) || any;
  return any;
}

}  // namespace qavz::platform
