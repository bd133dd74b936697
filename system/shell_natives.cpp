// Programs, documents, the wallpaper, message boxes and the caption. No
// script text ever reaches a shell: exec splits its command line as Windows
// does and starts the program it names directly; shell hands one path or
// URL to the desktop's opener as a single argument.
#include <filesystem>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/system_link.h"
#include "platform/path_map.h"
#include "platform/programs.h"
#include "platform/text_encoding.h"
#include "system/windows_args.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMaxCommandLine = 32767;  // the longest Windows command line
// How long shell waits for the desktop's opener to say whether a handler
// took the file; an opener still busy after that has found one.
constexpr int kOpenWaitMs = 3000;

// The script's text at `address` (empty for 0); false when it is not in
// live memory.
bool Text(Addr address, std::string& out) {
  out.clear();
  return address == 0 || TheArena().ReadString(address, out, kMaxCommandLine);
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return !path.empty() && fs::exists(path, ignored);
}

bool HasFolder(const std::string& name) {
  return name.find('\\') != std::string::npos || name.find('/') != std::string::npos;
}

// The program a command line names, as a host path: a path with a folder as
// it maps; a bare name in the current folder, the title's folder, then the
// folders of PATH. Empty when there is no such executable file.
std::string FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (HasFolder(name)) {
    std::string path = platform::MapPath(name);
    return platform::IsExecutableFile(path) ? path : std::string();
  }
  for (const std::string& folder : {std::string(), ThePaths().baseDir}) {
    std::string path = platform::MapPath(folder + name);
    if (platform::IsExecutableFile(path)) return HasFolder(path) ? path : "./" + path;
  }
  return platform::FindOnPath(platform::ToUtf8(name));
}

// An argument as the program gets it: a Windows path (one with a
// backslash) mapped to the file it names, other text in UTF-8.
std::string MapArgument(const std::string& arg) {
  if (arg.find('\\') == std::string::npos) return platform::ToUtf8(arg);
  std::string path = platform::MapPath(arg);
  return Exists(path) ? path : platform::ToUtf8(path);
}

// "http:", "mailto:" and the like; a drive letter ("C:") is a path.
bool IsUrl(const std::string& text) {
  size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = text[i];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return false;
  }
  return true;
}

// A file URI of an absolute path, every byte outside the unreserved set
// escaped.
std::string FileUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                 c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      uri.push_back(char(c));
    } else {
      uri.push_back('%');
      uri.push_back(kHex[c >> 4]);
      uri.push_back(kHex[c & 15]);
    }
  }
  return uri;
}

}  // namespace

// exec(command line): 1 when the program started, else 0.
int32_t Native_exec(Addr args) {
  std::string line;
  if (!Text(ArgAddr(args, 0), line)) return 0;
  std::vector<std::string> words = SplitCommandLine(line);
  std::string program = FindProgram(words[0]);
  if (program.empty()) return 0;
  std::vector<std::string> argv{program};
  for (size_t i = 1; i < words.size(); ++i) argv.push_back(MapArgument(words[i]));
  return platform::StartProgram(program, argv) ? 1 : 0;
}

// shell(path): opens a document, folder or URL with its handler, or starts
// a program; 1 when that succeeded, 0 for a missing file or no handler.
int32_t Native_shell(Addr args) {
  std::string target;
  if (!Text(ArgAddr(args, 0), target) || target.empty()) return 0;
  if (IsUrl(target)) return platform::OpenWithDesktop(platform::ToUtf8(target), kOpenWaitMs) ? 1 : 0;
  std::string path = platform::MapPath(target);
  if (!Exists(path)) return 0;
  std::error_code ignored;
  std::string absolute = fs::absolute(path, ignored).lexically_normal().string();
  if (!fs::is_directory(absolute, ignored) && platform::IsExecutableFile(absolute))
    return platform::StartProgram(absolute, {absolute}) ? 1 : 0;
  return platform::OpenWithDesktop(absolute, kOpenWaitMs) ? 1 : 0;
}

// wallpaper(path, style): the desktop's wallpaper, tiled for style bit 0,
// stretched for bit 1, else centred; always 1. A run without a display
// leaves the desktop alone.
int32_t Native_wallpaper(Addr args) {
  std::string path;
  if (Headless() || !Text(ArgAddr(args, 0), path) || path.empty()) return 1;
  int32_t style = Arg(args, 1);
  std::error_code ignored;
  std::string absolute = fs::absolute(platform::MapPath(path), ignored).lexically_normal().string();
  const char* options = (style & 1) ? "wallpaper" : (style & 2) ? "stretched" : "centered";
  platform::SetDesktopWallpaper(FileUri(absolute), options);
  return 1;
}

// mbox(type, caption, text): the chosen button's result, 0 when no box can
// be shown. A missing caption is "Error", as the system's own box has it.
int32_t Native_mbox(Addr args) {
  std::string caption, text;
  Addr captionAddress = ArgAddr(args, 1);
  if (!Text(captionAddress, caption) || !Text(ArgAddr(args, 2), text)) return 0;
  if (captionAddress == 0) caption = "Error";
  return TheSystemLink().messageBox(uint32_t(Arg(args, 0)), caption, text);
}

// caption(text): the window's title; 1, or 0 without a window.
int32_t Native_caption(Addr args) {
  std::string text;
  if (!Text(ArgAddr(args, 0), text)) return 0;
  return TheSystemLink().setCaption(text);
}

// setrgn(plane, colour index): the window's outline from the plane.
int32_t Native_setrgn(Addr args) { return TheSystemLink().setShape(Arg(args, 0), Arg(args, 1)); }

// setdrag(plane, colour index): where a press drags the window.
int32_t Native_setdrag(Addr args) { return TheSystemLink().setDrag(Arg(args, 0), Arg(args, 1)); }

}  // namespace qavz
