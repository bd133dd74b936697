// The run's configuration: section "General" of the title's .cfg file.
#pragma once

#include <cstdint>
#include <string>

namespace qavz {

// Every key in table order with its default; kilobyte keys hold bytes.
struct Config {
  int32_t debugMode = 0;        // "DebugMode"
  int32_t error = 0;            // "Error" (ErrorLevel)
  std::string title;            // "Title", up to 255 characters (Shift-JIS bytes)
  int32_t menu = 0;             // "Menu"
  int32_t autoHideMenu = 1;     // "AutoHideMenu"
  int32_t resize = 0;           // "Resize"
  int32_t width = 640;          // "Width"
  int32_t height = 480;         // "Height"
  int32_t depth = 24;           // "Depth"
  int32_t mmx = 0;              // "MMX": read only when the processor has MMX, else 0
  int32_t draw = 0;             // "Draw"
  int32_t sound = 0;            // "Sound"
  int32_t music = 0;            // "Music"
  int32_t input = 0;            // "Input"
  int32_t cd = 0;               // "CD"
  int32_t net = 0;              // "Net"
  int32_t pause = 1;            // "Pause"
  int32_t multipleRunning = 0;  // "MultipleRunning"
  uint32_t programSize = 0;     // "ProgramSize" (KB in the file)
  uint32_t stackSize = 64 * 1024;  // "StackSize" (KB in the file)
  uint32_t heapSize = 64 * 1024;   // "HeapSize" (KB in the file)
  int32_t fullScreen = -1;      // "FullScreen", -1 when absent
  std::string execute;          // "Execute", up to 259 characters
};

// Paths derived from the executable path (Shift-JIS bytes, Windows style
// where the title wrote them).
struct TitlePaths {
  std::string executable;  // as given
  std::string baseDir;     // directory of the executable, with trailing separator
  std::string name;        // executable name without extension
  std::string extension;   // with the dot
  std::string configFile;  // baseDir + name + ".cfg"
  std::string mainScript;  // "Execute" or "%s\%s.c" of the name
};

// The configuration of this run and its paths; written once at start-up
// before any script thread exists, read everywhere afterwards.
Config& TheConfig() noexcept;
TitlePaths& ThePaths() noexcept;

// True when the runtime runs without window, sound or input hardware.
bool Headless() noexcept;
void SetHeadless(bool on) noexcept;

}  // namespace qavz
