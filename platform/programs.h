// Starting other programs and the desktop's own handlers, never through a
// shell: programs start by posix_spawn with their arguments as given, and
// run on by themselves (a thread waits for each, so none is left a zombie).
#pragma once

#include <string>
#include <vector>

namespace qavz::platform {

// True for a regular file that this user may execute.
bool IsExecutableFile(const std::string& path);
// The executable `name` (no slash) in the folders of PATH, or empty.
std::string FindOnPath(const std::string& name);

// Starts the program at `path` with `argv` (argv[0] first) in the current
// folder, standard input from /dev/null, no other descriptor but standard
// output and error inherited. True when it started.
bool StartProgram(const std::string& path, const std::vector<std::string>& argv);

// Opens a file, folder or URL with the desktop's handler (xdg-open), waiting
// up to `waitMs` for its verdict: true when it reported success or is still
// busy opening, false when it is missing or failed (no handler).
bool OpenWithDesktop(const std::string& target, int waitMs);

// Sets the desktop's wallpaper where the desktop has such a setting (GNOME's
// through gsettings): `uri` a file URI, `options` the setting's placement
// ("wallpaper" tiles, "stretched", "centered"). Does not wait; false when
// there is no such setting here.
bool SetDesktopWallpaper(const std::string& uri, const std::string& options);

}  // namespace qavz::platform
