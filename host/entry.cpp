#include "host/entry.h"

#include <cstdio>

namespace qavz {

// Replaced by the real command line and start-up sequence.
int RunProcess(int, char**) {
  std::fprintf(stderr, "qavz: not built yet\n");
  return 2;
}

}  // namespace qavz
