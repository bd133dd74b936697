// The one way the runtime opens a data file.
//
//   ExpFile* OpenExpFile(const char* path);   // nullptr after its message
//   bool ReadExpFile(ExpFile*, void* buffer, uint32_t count, uint32_t* read);
//   int32_t ExpFileSize(const ExpFile*);       // -1 for nullptr
//   int32_t SeekExpFile(ExpFile*, int32_t offset, int origin);  // 0/1/2, -1 refused
//   int CloseExpFile(ExpFile*);                // 1, 0 for nullptr
//   bool LoadExpFile(const char* path, std::vector<uint8_t>& out);  // whole file
//
// Paths are the title's own (Windows style, Shift-JIS bytes); they go through
// the path mapping. A file is found as a plain file, or as a member of a pack
// archive named after one of the directories of its path with ".bin"; a file
// that starts with the compressed-file magic is expanded whole at open. Every
// loader (sources, images, sounds, MIDI, mload, the pack natives) reads data
// only through this layer, so any data file may be archived, compressed or
// both. Messages go to ReportError at level 2.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace qavz {

// A readable, seekable window on a disk file: the whole file or one member of
// a pack archive. Used by OpenExpFile and the compressed-file reader only.
struct FastFile;
FastFile* OpenFastFile(const char* path);
int CloseFastFile(FastFile* file);                                   // 1, 0 for nullptr
int32_t FastFileSize(const FastFile* file);                          // member or file size, -1 for nullptr
int32_t SeekFastFile(FastFile* file, int32_t distance, int origin);  // new position or -1
bool ReadFastFile(FastFile* file, void* buffer, uint32_t count, uint32_t* read);

struct ExpFile;
ExpFile* OpenExpFile(const char* path);
int CloseExpFile(ExpFile* file);
int32_t ExpFileSize(const ExpFile* file);
int32_t SeekExpFile(ExpFile* file, int32_t offset, int origin);
// Success flag (false for a missing file or buffer); bytes read in *read.
bool ReadExpFile(ExpFile* file, void* buffer, uint32_t count, uint32_t* read = nullptr);

// Owning handle for loaders: closes the file when it goes out of scope.
struct ExpFileCloser {
  void operator()(ExpFile* file) const noexcept { CloseExpFile(file); }
};
using ExpFilePtr = std::unique_ptr<ExpFile, ExpFileCloser>;

// Opens, reads the whole (expanded) file and closes it. False after the open
// failed (its message was shown) or the read fell short.
bool LoadExpFile(const char* path, std::vector<uint8_t>& out);

// Makes this layer the data-file loader of the subsystems that cannot depend
// on files/ (LoadDataFile in core/data_files.h). Called at start-up.
void InstallFileLoader() noexcept;

}  // namespace qavz
