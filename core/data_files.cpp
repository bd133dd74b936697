#include "core/data_files.h"

#include <atomic>

namespace qavz {

namespace {
std::atomic<DataFileLoader> gLoader{nullptr};
}  // namespace

void InstallDataFileLoader(DataFileLoader loader) noexcept { gLoader.store(loader); }

DataFileResult LoadDataFile(const char* path, std::vector<uint8_t>& out) noexcept {
  DataFileLoader loader = gLoader.load();
  return loader ? loader(path, out) : DataFileResult::kMissing;
}

}  // namespace qavz
