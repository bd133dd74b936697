#include "core/math_tables.h"

#include <cmath>
#include <mutex>
#include <new>

namespace qavz {

namespace {

int32_t* gSine = nullptr;
int32_t* gArctan = nullptr;
std::mutex gTableLock;  // start-up builds on the window thread, natives may build lazily

void BuildLocked() {
  if (gSine && gArctan) return;
  int32_t* sine = new (std::nothrow) int32_t[kSineEntries]();
  int32_t* arctan = new (std::nothrow) int32_t[kArctanEntries]();
  if (!sine || !arctan) {  // abandon both, as start-up does
    delete[] sine;
    delete[] arctan;
    return;
  }
  const double pi = 3.14159265358979323846;
  for (int i = 0; i < kSineEntries; ++i) sine[i] = int32_t(std::sin(i * pi / 1024.0) * 65536.0);
  for (int i = 0; i < kArctanEntries; ++i) arctan[i] = int32_t(std::atan(i / 256.0) * 1024.0 / pi);
  gSine = sine;
  gArctan = arctan;
}

}  // namespace

void BuildMathTables() {
  std::lock_guard lock(gTableLock);
  BuildLocked();
}

void FreeMathTables() {
  std::lock_guard lock(gTableLock);
  delete[] gSine;
  delete[] gArctan;
  gSine = gArctan = nullptr;
}

const int32_t* SineTable() noexcept {
  std::lock_guard lock(gTableLock);
  BuildLocked();
  return gSine;
}

const int32_t* ArctanTable() noexcept {
  std::lock_guard lock(gTableLock);
  BuildLocked();
  return gArctan;
}

}  // namespace qavz
