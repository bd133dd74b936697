// What the compiler takes from the rest of the runtime: source files (through
// the one file-opening layer, so sources may sit in pack archives or be
// compressed) and the external data area.
#include <cstdlib>
#include <cstring>

#include "compiler/internal.h"
#include "core/config.h"
#include "files/exp_file.h"
#include "vm/external_data.h"

namespace qavz::compiler {

int LoadSourceFile(const char* path, char** text, uint32_t* size) {
  ExpFile* file = OpenExpFile(path);
  if (!file) return kErrOpen;
  int32_t length = ExpFileSize(file);
  if (length < 0) {
    CloseExpFile(file);
    return kErrRead;
  }
  char* block = static_cast<char*>(std::calloc(size_t(length) + 2, 1));
  if (!block) {
    CloseExpFile(file);
    return kErrMemory;
  }
  uint32_t got = 0;
  bool ok = length == 0 || ReadExpFile(file, block, uint32_t(length), &got);
  CloseExpFile(file);
  if (!ok || got != uint32_t(length)) {
    std::free(block);
    return kErrRead;
  }
  block[length] = '\n';
  *text = block;
  *size = uint32_t(length) + 1;
  return 0;
}

// Without a running title (a command-line check) the configured size stands
// in for the area, so declarations are checked against the same bound.
Addr ExternalAreaBase() { return ExternalDataArea(); }

uint32_t ExternalAreaSize() {
  if (ExternalDataArea() != 0) return ExternalDataSize();
  return TheConfig().heapSize;
}

}  // namespace qavz::compiler
