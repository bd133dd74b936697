#include "core/system_link.h"

#include <atomic>

namespace qavz {

namespace {

const SystemLink kNoWindow = {
    .installMenu = []() noexcept {},
    .drawMenuBar = []() noexcept -> int32_t { return 0; },
    .setCaption = [](const std::string&) noexcept -> int32_t { return 0; },
    .messageBox = [](uint32_t, const std::string&, const std::string&) noexcept -> int32_t { return 0; },
    .setShape = [](int32_t, int32_t) noexcept -> int32_t { return 0; },
    .setDrag = [](int32_t, int32_t) noexcept -> int32_t { return 0; },
};

SystemLink gInstalled;
std::atomic<const SystemLink*> gLink{&kNoWindow};

}  // namespace

// Installed once at start-up, before any script thread runs.
void InstallSystemLink(const SystemLink& link) noexcept {
  gInstalled = link;
  gLink.store(&gInstalled);
}

const SystemLink& TheSystemLink() noexcept { return *gLink.load(); }

}  // namespace qavz
