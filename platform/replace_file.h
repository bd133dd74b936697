// Files replaced whole. The new contents go to a temporary file beside the
// target, are flushed to disk and renamed over it, so a crash or a kill at
// any point leaves the old file or the new one, never an empty or torn one.
//
// Temporary names are the target's name, the marker ".qavz-tmp." and six
// random characters (save.dat.qavz-tmp.Xa91Qz). A writer holds a lock on its
// temporary file until it is renamed or removed; what a killed run left is
// unlocked and removed by RemoveStaleReplacements.
#pragma once

#include <cstddef>
#include <string>

namespace qavz::platform {

class FileReplacement {
 public:
  FileReplacement() = default;
  ~FileReplacement() { Abandon(); }
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Creates the temporary file for `path` (a host path). A symbolic link is
  // replaced at the file it leads to. False when it cannot be created.
  bool Begin(const std::string& path);
  // False once a write failed; later writes then do nothing.
  bool Write(const void* data, size_t size);
  // Flushes, closes and renames over the target (which keeps its permission
  // bits). False, with the target untouched and the temporary removed, when
  // any step failed.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Abandon();

 private:
  int fd_ = -1;
  bool failed_ = false;
  std::string target_, temp_;
};

// The whole replacement in one call. False (and `path` untouched) on failure.
bool ReplaceFile(const std::string& path, const void* data, size_t size);
bool ReplaceFile(const std::string& path, const std::string& bytes);

// True for a name of the temporary-file pattern above.
bool IsReplacementName(const std::string& name);

// Removes the temporary files in `dir` that no running writer holds; with a
// non-empty `target`, only those of that target name. Symbolic links and
// anything but plain files are left alone. Returns how many were removed.
int RemoveStaleReplacements(const std::string& dir, const std::string& target = {});

}  // namespace qavz::platform
