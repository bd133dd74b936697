#include "platform/video.h"

#include <atomic>
#include <cstring>

namespace qavz::platform {

extern const VideoDriver kSdlVideo;
extern const VideoDriver kNullVideo;

namespace {

// In order of preference; "null" last, it is always available.
const VideoDriver* const kVideoDrivers[] = {&kSdlVideo, &kNullVideo};

std::atomic<const VideoDriver*> gCurrent{&kNullVideo};

const VideoDriver* Named(const char* name) {
  for (const VideoDriver* driver : kVideoDrivers)
    if (std::strcmp(driver->name, name) == 0) return driver;
  return nullptr;
}

bool Start(const VideoDriver* driver) {
  if (!driver->available() || !driver->init()) return false;
  gCurrent.store(driver);
  return true;
}

}  // namespace

const VideoDriver* SelectVideoDriver(const char* name, bool headless, std::string* error) {
  QuitVideo();
  if (headless) name = "null";
  if (name && *name) {
    const VideoDriver* driver = Named(name);
    if (driver && Start(driver)) return driver;
    if (error) {
      *error = std::string("video driver \"") + name + "\" ";
      *error += driver ? std::string("cannot start: ") + driver->failure() : "is unknown (sdl, null)";
    }
    return nullptr;
  }
  for (const VideoDriver* driver : kVideoDrivers)
    if (Start(driver)) return driver;
  return &kNullVideo;
}

const VideoDriver& Video() { return *gCurrent.load(); }

bool DisplayAvailable() {
  for (const VideoDriver* driver : kVideoDrivers)
    if (driver != &kNullVideo && driver->available()) return true;
  return false;
}

void QuitVideo() {
  const VideoDriver* driver = gCurrent.exchange(&kNullVideo);
  driver->quit();
}

bool VideoIsNull() { return gCurrent.load() == &kNullVideo; }

}  // namespace qavz::platform
