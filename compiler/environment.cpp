// What the compiler takes from the rest of the runtime: source files (through
// the installed data-file loader, so sources may sit in pack archives or be
// compressed) and the external data area.
#include <cstdlib>
#include <cstring>

#include "compiler/internal.h"
#include "core/config.h"
#include "core/data_files.h"
#include "vm/external_data.h"

namespace qavz::compiler {

int LoadSourceFile(const char* path, char** text, uint32_t* size) {
  std::vector<uint8_t> bytes;
  switch (LoadDataFile(path, bytes)) {
    case DataFileResult::kOk:
      break;
    case DataFileResult::kMissing:
      return kErrOpen;
    case DataFileResult::kUnreadable:
      return kErrRead;
    case DataFileResult::kNoMemory:
      return kErrMemory;
  }
  // A line feed after the last line, and a terminator.
  char* block = static_cast<char*>(std::malloc(bytes.size() + 2));
  if (!block) return kErrMemory;
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  block[bytes.size()] = '\n';
  block[bytes.size() + 1] = '\0';
  *text = block;
  *size = uint32_t(bytes.size()) + 1;
  return 0;
}

// Without a running title (a command-line check) the configured size stands
// in for the area, so declarations are checked against the same bound. A run
// whose area could not be allocated has none: every extern is refused.
Addr ExternalAreaBase() { return ExternalDataArea(); }

uint32_t ExternalAreaSize() {
  if (ExternalDataDecided()) return ExternalDataSize();
  return TheConfig().heapSize;
}

}  // namespace qavz::compiler
