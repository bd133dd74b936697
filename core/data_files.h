// How a loader above the file subsystem reads a data file.
//
// Sources, images, sounds and MIDI files are read whole through the runtime's
// one file-opening layer (plain file, pack archive member, compressed file),
// which lives in files/. The compiler and the device subsystems do not depend
// on files/; they call LoadDataFile, and files/ installs the loader at
// start-up (InstallFileLoader in files/exp_file.h).
#pragma once

#include <cstdint>
#include <vector>

namespace qavz {

enum class DataFileResult {
  kOk,
  kMissing,     // could not be opened (its message was reported)
  kUnreadable,  // opened, but the read fell short
  kNoMemory,    // the bytes do not fit in host memory
};

// `path` is the title's own (Windows style, Shift-JIS bytes).
using DataFileLoader = DataFileResult (*)(const char* path, std::vector<uint8_t>& out) noexcept;
void InstallDataFileLoader(DataFileLoader loader) noexcept;

// The whole file into `out`; kMissing when no loader is installed.
DataFileResult LoadDataFile(const char* path, std::vector<uint8_t>& out) noexcept;

}  // namespace qavz
