// qavz bundle TITLE DIR: a folder that runs the title on another machine of
// the same system: the runtime and the libraries it loaded (less those
// every desktop has and must keep its own of: the C library, graphics
// drivers, the display and sound servers' clients), a copy of the title,
// the font files it draws in with the keys that name them, a launcher and
// a desktop entry.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/ini.h"
#include "graphics/font_slots.h"
#include "host/tool_commands.h"
#include "platform/fonts.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "tools/commands/title_survey.h"

namespace qavz::tools {

namespace {

namespace fs = std::filesystem;

// Libraries left to the machine the bundle runs on, by name prefix.
constexpr const char* kSystemLibraries[] = {
    "ld-linux",  "libc.so", "libm.so",    "libdl.so",   "libpthread",    "librt.so",
    "libresolv", "libGL",   "libEGL",     "libGLX",     "libGLdispatch", "libdrm",
    "libgbm",    "libX",    "libxcb",     "libwayland", "libvulkan",     "libasound",
    "libpulse",  "libdbus", "libsystemd", "libudev",    "libpipewire"};

bool IsSystemLibrary(const std::string& file) {
  for (const char* prefix : kSystemLibraries)
    if (file.rfind(prefix, 0) == 0) return true;
  return false;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "qavz bundle: %s\n", text.c_str());
  return 1;
}

// The names the loader looks a library up by: the links beside its file
// that lead to it (libSDL2-2.0.so.0 -> libSDL2-2.0.so.0.2600.5), less the
// bare ".so" names only linkers use.
std::vector<std::pair<std::string, std::string>> LinkNames(const std::vector<fs::path>& files) {
  std::vector<std::pair<std::string, std::string>> links;  // link name, file name
  std::vector<fs::path> dirs;
  for (const fs::path& f : files)
    if (std::find(dirs.begin(), dirs.end(), f.parent_path()) == dirs.end()) dirs.push_back(f.parent_path());
  std::error_code ec;
  for (const fs::path& dir : dirs) {
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
      std::string name = e.path().filename().string();
      if (!e.is_symlink(ec) || name.size() < 4 || name.compare(name.size() - 3, 3, ".so") == 0) continue;
      fs::path target = fs::canonical(e.path(), ec);
      if (!ec && std::find(files.begin(), files.end(), target) != files.end())
        links.emplace_back(name, target.filename().string());
    }
  }
  return links;
}

bool CopyLibraries(const fs::path& lib, std::string& error) {
  std::error_code ec;
  std::vector<fs::path> files;
  for (const std::string& path : platform::LoadedLibraries()) {
    fs::path file = fs::canonical(path, ec);
    if (ec || IsSystemLibrary(file.filename().string())) continue;
    fs::copy_file(file, lib / file.filename(), fs::copy_options::overwrite_existing, ec);
    if (ec) return error = "cannot copy " + path + ": " + ec.message(), false;
    files.push_back(file);
  }
  for (const auto& [link, file] : LinkNames(files)) {
    if (link == file || fs::exists(lib / link, ec)) continue;
    fs::create_symlink(file, lib / link, ec);
    if (ec) return error = "cannot link " + link + ": " + ec.message(), false;
  }
  return true;
}

// The font files of the faces the title draws in go beside it, and its copy
// of the configuration names them, so the faces are the same everywhere.
bool CopyFonts(const TitleSurvey& survey, const fs::path& title, const std::string& config,
               std::string& error) {
  std::error_code ec;
  fs::create_directories(title / "fonts", ec);
  for (const std::string& face : NeededFaces(survey)) {
    platform::FontFile file;
    if (ConfiguredFontFile(face, file)) continue;  // the title ships it already
    std::string utf8 = platform::ToUtf8(face);
    if (!platform::FindFontFile(utf8, false, false, file)) return error = "no font for " + utf8, false;
    std::string name = fs::path(file.path).filename().string();
    fs::copy_file(file.path, title / "fonts" / name, fs::copy_options::skip_existing, ec);
    if (ec) return error = "cannot copy " + file.path + ": " + ec.message(), false;
    std::string value = "fonts\\" + name + "," + std::to_string(file.index);
    if (!IniWriteString(config, "qavz", "Font." + utf8, value))
      return error = "cannot write " + config, false;
  }
  return true;
}

bool WriteText(const fs::path& path, const std::string& text, bool executable) {
  std::ofstream(path, std::ios::binary) << text;
  std::error_code ec;
  if (executable)
    fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
  return fs::exists(path) && !ec;
}

std::string Launcher(const std::string& config) {
  return "#!/bin/sh\n"
         "# Runs the title with the runtime and libraries of this folder.\n"
         "here=$(dirname \"$(readlink -f \"$0\")\")\n"
         "LD_LIBRARY_PATH=\"$here/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}\" exec \"$here/bin/qavz\" "
         "\"$here/title/" +
         config + "\"\n";
}

std::string DesktopEntry(const std::string& name, const fs::path& dir) {
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=\"" + (dir / "run.sh").string() +
         "\"\nPath=" + dir.string() + "\nIcon=applications-games\nTerminal=false\nCategories=Game;\n";
}

int RunBundle(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qavz bundle TITLE DIR\n");
    return 2;
  }
  std::error_code ec;
  fs::path dir = fs::absolute(argv[2], ec).lexically_normal();
  if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) return Fail(dir.string() + " is not empty");
  std::string error;
  TitlePaths paths;
  if (!OpenTitle(argv[1], paths, error)) return Fail(error);
  fs::path base = fs::path(paths.baseDir).lexically_normal();
  std::string inside = dir.lexically_relative(base).string();
  if (!inside.empty() && inside.rfind("..", 0) != 0) return Fail("DIR must lie outside the title's folder");
  TitleSurvey survey = SurveyTitle(paths, nullptr);
  for (const CompiledProgram& p : survey.programs)
    if (!p.ok)
      std::fprintf(stderr, "qavz bundle: warning: %s does not compile\n", platform::ToUtf8(p.path).c_str());

  fs::create_directories(dir / "bin", ec);
  fs::create_directories(dir / "lib", ec);
  std::string self = platform::ExecutableFile();
  if (self.empty() || !fs::copy_file(self, dir / "bin/qavz", ec)) return Fail("cannot copy the runtime");
  if (!CopyLibraries(dir / "lib", error)) return Fail(error);
  fs::copy(paths.baseDir, dir / "title", fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) return Fail("cannot copy the title: " + ec.message());
  std::string config = fs::path(paths.configFile).filename().string();
  if (!CopyFonts(survey, dir / "title", (dir / "title" / config).string(), error)) return Fail(error);
  std::string title = TheConfig().title.empty() ? paths.name : platform::ToUtf8(TheConfig().title);
  if (!WriteText(dir / "run.sh", Launcher(config), true) ||
      !WriteText(dir / (paths.name + ".desktop"), DesktopEntry(title, dir), false))
    return Fail("cannot write the launcher");
  std::printf("%s: run.sh starts %s\n", dir.string().c_str(), title.c_str());
  return 0;
}

const ToolCommand kBundle = {"bundle", "bundle TITLE DIR", RunBundle};
const bool kRegistered = (RegisterToolCommand(&kBundle), true);

}  // namespace

}  // namespace qavz::tools
