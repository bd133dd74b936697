#include "host/config.h"

#include <atomic>

namespace qavz {

namespace {
std::atomic<bool> gHeadless{false};
}

Config& TheConfig() noexcept {
  static Config config;
  return config;
}

TitlePaths& ThePaths() noexcept {
  static TitlePaths paths;
  return paths;
}

bool Headless() noexcept { return gHeadless.load(std::memory_order_relaxed); }
void SetHeadless(bool on) noexcept { gHeadless.store(on, std::memory_order_relaxed); }

}  // namespace qavz
