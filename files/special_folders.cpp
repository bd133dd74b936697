#include "files/special_folders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qavz {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string();
}

std::string Home() { return Env("HOME"); }

// An XDG base directory: the variable when it holds an absolute path, else
// the default under the home directory.
std::string BaseDir(const char* variable, const char* fallback) {
  std::string v = Env(variable);
  if (!v.empty() && v[0] == '/') return v;
  std::string home = Home();
  return home.empty() ? std::string() : home + "/" + fallback;
}

// A user directory from user-dirs.dirs (XDG_DESKTOP_DIR="$HOME/Desktop"),
// or its usual default.
std::string UserDir(const char* key, const char* fallback) {
  std::string home = Home();
  std::ifstream in(BaseDir("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
  std::string line, prefix = std::string(key) + "=\"";
  while (std::getline(in, line)) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string v = line.substr(prefix.size());
    if (!v.empty() && v.back() == '"') v.pop_back();
    if (v.compare(0, 5, "$HOME") == 0) v = home + v.substr(5);
    if (!v.empty() && v[0] == '/') return v;
  }
  return home.empty() ? std::string() : home + "/" + fallback;
}

std::string Ensure(const std::string& dir) {
  if (dir.empty()) return dir;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return std::filesystem::is_directory(dir, ec) ? dir : std::string();
}

std::string DataHome() { return BaseDir("XDG_DATA_HOME", ".local/share"); }

}  // namespace

std::string WindowsDirectory() {
  std::string data = DataHome();
  return data.empty() ? data : Ensure(data + "/qavz/windows");
}

std::string SystemDirectory() {
  std::string windows = WindowsDirectory();
  return windows.empty() ? windows : Ensure(windows + "/system32");
}

std::string SpecialFolder(int identifier) {
  switch (identifier & 0xFF) {
    case 0x00:
    case 0x10:
    case 0x19:
      return UserDir("XDG_DESKTOP_DIR", "Desktop");
    case 0x05:
    case 0x2E:
      return UserDir("XDG_DOCUMENTS_DIR", "Documents");
    case 0x0D:
    case 0x35:
      return UserDir("XDG_MUSIC_DIR", "Music");
    case 0x0E:
    case 0x37:
      return UserDir("XDG_VIDEOS_DIR", "Videos");
    case 0x27:
    case 0x36:
      return UserDir("XDG_PICTURES_DIR", "Pictures");
    case 0x15:
    case 0x2D:
      return UserDir("XDG_TEMPLATES_DIR", "Templates");
    case 0x1A:
      return BaseDir("XDG_CONFIG_HOME", ".config");  // application data
    case 0x1C:
    case 0x23:
      return DataHome();  // local and common data
    case 0x20:
      return BaseDir("XDG_CACHE_HOME", ".cache");  // internet cache
    case 0x14:
      return DataHome().empty() ? "" : DataHome() + "/fonts";
    case 0x02:
    case 0x0B:
    case 0x16:
    case 0x17:  // start menu, programs
      return DataHome().empty() ? "" : DataHome() + "/applications";
    case 0x07:
    case 0x18: {  // start-up
      std::string c = BaseDir("XDG_CONFIG_HOME", ".config");
      return c.empty() ? c : c + "/autostart";
    }
    case 0x28:
      return Home();  // profile
    case 0x24:
      return WindowsDirectory();
    case 0x25:
    case 0x29:
      return SystemDirectory();
    default:
      return std::string();
  }
}

std::string TitleStylePath(const std::string& hostPath) {
  std::string p = hostPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

std::string JoinTitlePath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '\\' || directory.back() == '/') return directory + name;
  return directory + "\\" + name;
}

}  // namespace qavz
