// The run's configuration: section "General" of the title's .cfg file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavz {

// Every key in table order with its default; kilobyte keys hold bytes.
struct Config {
  int32_t debugMode = 0;           // "DebugMode"
  int32_t error = 0;               // "Error" (ErrorLevel)
  std::string title;               // "Title", up to 255 characters (Shift-JIS bytes)
  int32_t menu = 0;                // "Menu"
  int32_t autoHideMenu = 1;        // "AutoHideMenu"
  int32_t resize = 0;              // "Resize"
  int32_t width = 640;             // "Width"
  int32_t height = 480;            // "Height"
  int32_t depth = 24;              // "Depth"
  int32_t mmx = 1;                 // "MMX": read only when the processor has MMX, else 0
  int32_t draw = 0;                // "Draw"
  int32_t sound = 0;               // "Sound"
  int32_t music = 0;               // "Music"
  int32_t input = 0;               // "Input"
  int32_t cd = 0;                  // "CD"
  int32_t net = 0;                 // "Net"
  int32_t pause = 1;               // "Pause"
  int32_t multipleRunning = 0;     // "MultipleRunning"
  uint32_t programSize = 0;        // "ProgramSize" (KB in the file)
  uint32_t stackSize = 64 * 1024;  // "StackSize" (KB in the file)
  uint32_t heapSize = 64 * 1024;   // "HeapSize" (KB in the file)
  int32_t fullScreen = -1;         // "FullScreen", -1 when absent
  std::string execute;             // "Execute", up to 259 characters
  // Values that were refused (each naming its key), for the host to report.
  std::vector<std::string> warnings;
};

// Largest "ProgramSize", "StackSize" and "HeapSize" accepted, in KB.
constexpr int32_t kMaxKilobytes = 1 << 20;

// Reads section "General" of `file` (a host path; a missing file gives every
// default): every key in table order, kilobyte keys times 1024, "MMX" only
// when `cpuHasMmx` (else 0), "AutoHideMenu" forced to 0 when "Draw" or
// "Menu" is 0. A kilobyte key outside 0..kMaxKilobytes keeps its default and
// adds a warning. Always succeeds.
Config ReadConfig(const std::string& file, bool cpuHasMmx);
// The start-up MMX test, made once and cached.
bool CpuHasMmxCached() noexcept;

// Writes "FullScreen" back as 1 or 0 when the value read at start-up was 0
// or 1; otherwise leaves the file alone. True when it wrote.
bool WriteBackFullScreen(const std::string& file, const Config& config, bool fullScreenNow);

// Paths derived from the executable path (host paths, with '/'; the main
// script path as the title wrote it, Windows style).
struct TitlePaths {
  std::string executable;  // absolute
  std::string baseDir;     // directory of the executable, with trailing '/'
  std::string name;        // executable name without extension
  std::string extension;   // with the dot
  std::string configFile;  // baseDir + name + ".cfg" (letter case as on disk)
  std::string mainScript;  // "Execute" or "%s\%s.c" of the name
};

// `path` made absolute against the current directory and normalised; never
// throws (a path that cannot be made absolute is only normalised).
std::string AbsolutePath(const std::string& path);

// Splits an executable path into base directory, name and extension and
// forms the configuration file's path. The main script path is left empty.
TitlePaths DerivePaths(const std::string& executablePath);
// "Execute" when set, else "NAME\NAME.c".
std::string MainScriptPath(const Config& config, const std::string& name);

// The configuration of this run and its paths; written once at start-up
// before any script thread exists, read everywhere afterwards.
Config& TheConfig() noexcept;
TitlePaths& ThePaths() noexcept;

// True when the runtime runs without window, sound or input hardware.
bool Headless() noexcept;
void SetHeadless(bool on) noexcept;

}  // namespace qavz
