#include "core/config.h"

#include <atomic>
#include <filesystem>

#include "core/ini.h"
#include "platform/cpu_features.h"
#include "platform/path_map.h"

namespace qavz {

namespace {

std::atomic<bool> gHeadless{false};

constexpr char kSection[] = "General";

enum class KeyKind { kInteger, kKilobytes, kText };

// One row per key of section "General", in the order they are read.
struct ConfigKey {
  const char* name;
  KeyKind kind;
  int32_t Config::*integer;   // kInteger
  uint32_t Config::*bytes;    // kKilobytes: bytes = KB * 1024
  std::string Config::*text;  // kText
  int32_t defaultValue;       // integers and kilobytes
  size_t maxLength;           // text: the read buffer less its terminator
};

constexpr ConfigKey Int(const char* name, int32_t Config::*field, int32_t value) {
  return {name, KeyKind::kInteger, field, nullptr, nullptr, value, 0};
}
constexpr ConfigKey Kb(const char* name, uint32_t Config::*field, int32_t kilobytes) {
  return {name, KeyKind::kKilobytes, nullptr, field, nullptr, kilobytes, 0};
}
constexpr ConfigKey Text(const char* name, std::string Config::*field, size_t maxLength) {
  return {name, KeyKind::kText, nullptr, nullptr, field, 0, maxLength};
}

constexpr ConfigKey kConfigKeys[] = {
    Int("DebugMode", &Config::debugMode, 0),
    Int("Error", &Config::error, 0),
    Text("Title", &Config::title, 255),
    Int("Menu", &Config::menu, 0),
    Int("AutoHideMenu", &Config::autoHideMenu, 1),
    Int("Resize", &Config::resize, 0),
    Int("Width", &Config::width, 640),
    Int("Height", &Config::height, 480),
    Int("Depth", &Config::depth, 24),
    Int("MMX", &Config::mmx, 1),  // read only when the processor has MMX
    Int("Draw", &Config::draw, 0),
    Int("Sound", &Config::sound, 0),
    Int("Music", &Config::music, 0),
    Int("Input", &Config::input, 0),
    Int("CD", &Config::cd, 0),
    Int("Net", &Config::net, 0),
    Int("Pause", &Config::pause, 1),
    Int("MultipleRunning", &Config::multipleRunning, 0),
    Kb("ProgramSize", &Config::programSize, 0),
    Kb("StackSize", &Config::stackSize, 64),
    Kb("HeapSize", &Config::heapSize, 64),
    Int("FullScreen", &Config::fullScreen, -1),
    Text("Execute", &Config::execute, 259),
};
static_assert(std::size(kConfigKeys) == 23, "section General has 23 keys");

void ReadKey(const std::string& file, const ConfigKey& key, Config& config) {
  switch (key.kind) {
    case KeyKind::kInteger:
      config.*key.integer = IniGetInt(file, kSection, key.name, key.defaultValue);
      break;
    case KeyKind::kKilobytes: {
      // Everything lives below 2 GiB of machine addresses: a size past the
      // limit could never be allocated and would wrap when made bytes.
      int32_t kilobytes = IniGetInt(file, kSection, key.name, key.defaultValue);
      if (kilobytes < 0 || kilobytes > kMaxKilobytes) {
        config.warnings.push_back(std::string(key.name) + "=" + std::to_string(kilobytes) +
                                  " is out of range (0 to " + std::to_string(kMaxKilobytes) + " KB); " +
                                  std::to_string(key.defaultValue) + " is used");
        kilobytes = key.defaultValue;
      }
      config.*key.bytes = uint32_t(kilobytes) * 1024u;
      break;
    }
    case KeyKind::kText:
      config.*key.text = IniGetString(file, kSection, key.name, "").substr(0, key.maxLength);
      break;
  }
}

}  // namespace

Config ReadConfig(const std::string& file, bool cpuHasMmx) {
  Config config;
  for (const ConfigKey& key : kConfigKeys) {
    if (key.integer == &Config::mmx && !cpuHasMmx) {
      config.mmx = 0;
      continue;
    }
    ReadKey(file, key, config);
  }
  if (config.draw == 0 || config.menu == 0) config.autoHideMenu = 0;
  return config;
}

bool CpuHasMmxCached() noexcept {
  static const bool hasMmx = platform::CpuHasMmx();
  return hasMmx;
}

bool WriteBackFullScreen(const std::string& file, const Config& config, bool fullScreenNow) {
  // Unsigned comparison with 2: an absent key (-1) never qualifies.
  if (uint32_t(config.fullScreen) >= 2u) return false;
  return IniWriteString(file, kSection, "FullScreen", fullScreenNow ? "1" : "0");
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

TitlePaths DerivePaths(const std::string& executablePath) {
  std::filesystem::path exe = AbsolutePath(executablePath);
  TitlePaths paths;
  paths.executable = exe.string();
  paths.baseDir = exe.parent_path().string();
  if (paths.baseDir.empty() || paths.baseDir.back() != '/') paths.baseDir += '/';
  std::string file = exe.filename().string();
  size_t dot = file.rfind('.');
  paths.name = dot == std::string::npos ? file : file.substr(0, dot);
  paths.extension = dot == std::string::npos ? "" : file.substr(dot);
  paths.configFile = platform::MapPath(paths.baseDir + paths.name + ".cfg");
  return paths;
}

std::string MainScriptPath(const Config& config, const std::string& name) {
  if (!config.execute.empty()) return config.execute;
  return name + "\\" + name + ".c";
}

Config& TheConfig() noexcept {
  static Config config;
  return config;
}

TitlePaths& ThePaths() noexcept {
  static TitlePaths paths;
  return paths;
}

bool Headless() noexcept { return gHeadless.load(std::memory_order_relaxed); }
void SetHeadless(bool on) noexcept { gHeadless.store(on, std::memory_order_relaxed); }

}  // namespace qavz
