#include "core/save_folder.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/file_system.h"
#include "platform/path_map.h"

namespace qavz {

namespace fs = std::filesystem;

namespace {

std::mutex Lock;  // natives of several threads and the window thread ask
fs::path TitleDir;
std::string SaveDir;

fs::path Canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? fs::absolute(path).lexically_normal() : p;
}

// The part of `hostPath` below the title's folder; empty when it lies
// elsewhere or the redirect is off.
fs::path BelowTitle(const std::string& hostPath) {
  if (SaveDir.empty() || hostPath.empty()) return {};
  fs::path relative = Canonical(hostPath).lexically_relative(TitleDir);
  if (relative.empty() || *relative.begin() == ".." || relative == ".") return {};
  return relative;
}

}  // namespace

std::string SaveFolderFor(const std::string& name, const char* xdgDataHome, const char* home) {
  fs::path data;
  if (xdgDataHome && xdgDataHome[0] == '/') {
    data = xdgDataHome;
  } else if (home && *home) {
    data = fs::path(home) / ".local/share";
  } else {
    return {};
  }
  return (data / "qavz" / name).string();
}

std::string ChooseSaveFolder(const std::string& titleDir, const std::string& name) {
  const char* forced = std::getenv("QAVZ_READ_ONLY");
  bool readOnly = (forced && *forced && *forced != '0') || !platform::CanWriteFolder(titleDir);
  std::string saveDir =
      readOnly ? SaveFolderFor(name, std::getenv("XDG_DATA_HOME"), std::getenv("HOME")) : "";
  SetSaveFolder(titleDir, saveDir);
  return saveDir;
}

void SetSaveFolder(const std::string& titleDir, const std::string& saveDir) {
  std::lock_guard<std::mutex> hold(Lock);
  TitleDir = saveDir.empty() ? fs::path() : Canonical(titleDir);
  SaveDir = saveDir;
}

const std::string& SaveFolder() { return SaveDir; }

std::string WritePlace(const std::string& hostPath) {
  std::lock_guard<std::mutex> hold(Lock);
  fs::path below = BelowTitle(hostPath);
  if (below.empty()) return hostPath;
  fs::path target = platform::MapPath((fs::path(SaveDir) / below).string());
  // Only folders the title has are made: a write into a folder it lacks
  // fails as it would beside the title.
  std::error_code ec;
  if (fs::is_directory(fs::path(hostPath).parent_path().empty() ? "." : fs::path(hostPath).parent_path(), ec))
    fs::create_directories(target.parent_path(), ec);
  return target.string();
}

std::string ReadPlace(const std::string& hostPath) {
  std::lock_guard<std::mutex> hold(Lock);
  fs::path below = BelowTitle(hostPath);
  if (below.empty()) return hostPath;
  std::string saved = platform::MapPath((fs::path(SaveDir) / below).string());
  std::error_code ec;
  return fs::exists(saved, ec) ? saved : hostPath;
}

std::string SavePlace(const std::string& hostPath) {
  std::lock_guard<std::mutex> hold(Lock);
  if (SaveDir.empty() || hostPath.empty()) return {};
  fs::path relative = Canonical(hostPath).lexically_relative(TitleDir);
  if (relative.empty() || *relative.begin() == "..") return {};
  if (relative == ".") return SaveDir;
  return platform::MapPath((fs::path(SaveDir) / relative).string());
}

}  // namespace qavz
