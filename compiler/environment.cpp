// What the compiler takes from the rest of the runtime: source files (through
// the installed data-file loader, so sources may sit in pack archives or be
// compressed) and the external data area.

#include "compiler/internal.h"
#include "core/config.h"
#include "core/data_files.h"
#include "vm/external_data.h"

namespace qavz::compiler {

int LoadSourceFile(const char* path, std::vector<uint8_t>& bytes) {
  switch (LoadDataFile(path, bytes)) {
    case DataFileResult::kOk:
      return 0;
    case DataFileResult::kMissing:
      return kErrOpen;
    case DataFileResult::kUnreadable:
      return kErrRead;
    case DataFileResult::kNoMemory:
      return kErrMemory;
  }
  return kErrRead;
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
