// Presenting the window: a 640 x 480 page painted whole and shown 60 times
// a second, for each page depth. Prints the processor time of the
// presenting thread against the wall time it ran (want < 0.10 of one core)
// and the cost of one frame. Uses the window when there is a display (the
// SDL driver), else the null driver (conversion only).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "core/config.h"
#include "graphics/pages.h"
#include "graphics/plane.h"
#include "graphics/present.h"
#include "platform/clock.h"
#include "platform/video.h"

using namespace qavz;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFramesPerSecond = 60;
constexpr double kSeconds = 2.0;
constexpr double kLimit = 0.10;

// Lets the driver see its events, as the message loop would between frames.
void DrainEvents() {
  platform::Event event;
  while (platform::Video().waitEvent(&event, 0)) {
  }
}

// Presents frames at 60 a second for kSeconds; returns processor seconds
// over wall seconds, and the processor time of one frame in *frameMs.
double Measure(int32_t depth, double* frameMs) {
  Plane* page = CreatePlane(0, kWidth, kHeight, depth);
  if (!page) return -1;
  std::mt19937 random(1);
  for (size_t i = 0; i < page->ImageBytes(); ++i) page->host[i] = uint8_t(random());
  PaintRequest request;
  request.area = Rect{0, 0, kWidth, kHeight};
  request.clientWidth = kWidth;
  request.clientHeight = kHeight;
  int frames = int(kSeconds * kFramesPerSecond);
  double wall0 = platform::WallSeconds(), cpu0 = platform::ThreadCpuSeconds();
  for (int frame = 0; frame < frames; ++frame) {
    // The script changed a row since the last frame.
    page->Row(frame % kHeight)[0] ^= 0xFF;
    PaintWindow(request);
    DrainEvents();
    double next = wall0 + double(frame + 1) / kFramesPerSecond;
    double now = platform::WallSeconds();
    if (next > now) platform::SleepMilliseconds(uint32_t((next - now) * 1000));
  }
  double cpu = platform::ThreadCpuSeconds() - cpu0, wall = platform::WallSeconds() - wall0;
  FreePlane(0);
  *frameMs = cpu * 1000 / frames;
  return cpu / wall;
}

}  // namespace

int main() {
  TheConfig().width = kWidth;
  TheConfig().height = kHeight;
  std::string error;
  if (!platform::SelectVideoDriver(std::getenv("QAVZ_VIDEO"), false, &error)) {
    std::fprintf(stderr, "present_speed: %s\n", error.c_str());
    return 1;
  }
  platform::WindowSpec spec;
  spec.clientWidth = kWidth;
  spec.clientHeight = kHeight;
  spec.caption = "present_speed";
  if (!platform::Video().createWindow(spec)) {
    std::fprintf(stderr, "present_speed: no window\n");
    return 1;
  }
  DrainEvents();
  std::printf("Presenting a %d x %d page at %d frames per second (video driver \"%s\")\n", kWidth, kHeight,
              kFramesPerSecond, platform::Video().name);
  bool ok = true;
  for (int32_t depth : {8, 16, 24, 32}) {
    double frameMs = 0;
    double ratio = Measure(depth, &frameMs);
    ok = ok && ratio >= 0 && ratio < kLimit;
    std::printf("  depth %2d: presenting thread %.3f of one core (want < %.2f), %.2f ms per frame\n", depth,
                ratio, kLimit, frameMs);
  }
  platform::Video().destroyWindow();
  platform::QuitVideo();
  std::printf("%s\n", ok ? "ok" : "TOO SLOW");
  return ok ? 0 : 1;
}
