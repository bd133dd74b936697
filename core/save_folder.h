// Titles installed where they cannot write (a system folder, a read-only
// medium) keep what they write in a folder of their own under the user's
// data directory, and every read looks there first. With a writable title
// folder nothing is redirected.
#pragma once

#include <string>

namespace qavz {

// The folder a title named `name` writes to when its own cannot be written:
// $XDG_DATA_HOME/qavz/NAME, with ~/.local/share for an unset or relative
// XDG_DATA_HOME. Empty when neither that nor HOME is known.
std::string SaveFolderFor(const std::string& name, const char* xdgDataHome, const char* home);

// Chooses the redirect for a run from the title's base folder: on when the
// folder cannot be written or QAVZ_READ_ONLY is set (an author trying the
// title as installed). Returns the save folder, empty when off.
std::string ChooseSaveFolder(const std::string& titleDir, const std::string& name);

// Sets the redirect directly (an empty `saveDir` turns it off).
void SetSaveFolder(const std::string& titleDir, const std::string& saveDir);
const std::string& SaveFolder();

// A host path about to be written: its place in the save folder when the
// redirect is on and the path lies in the title's folder (the folders on the
// way are made where the title has them); otherwise the path itself.
std::string WritePlace(const std::string& hostPath);

// A host path about to be read: the copy in the save folder when there is
// one, else the path itself.
std::string ReadPlace(const std::string& hostPath);

// The place of a host path (a file or a folder, the title's own folder
// included) in the save folder, whether or not anything is there; empty
// when the redirect is off or the path lies outside the title's folder.
std::string SavePlace(const std::string& hostPath);

}  // namespace qavz
