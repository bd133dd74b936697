// The one place that reads the local calendar time.
#include <chrono>
#include <ctime>

#include "stdlib/time_base.h"

namespace qavz {

void LocalDateTime(uint16_t fields[8]) noexcept {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  fields[0] = uint16_t(local.tm_year + 1900);
  fields[1] = uint16_t(local.tm_mon + 1);
  fields[2] = uint16_t(local.tm_wday);
  fields[3] = uint16_t(local.tm_mday);
  fields[4] = uint16_t(local.tm_hour);
  fields[5] = uint16_t(local.tm_min);
  fields[6] = uint16_t(local.tm_sec);
  fields[7] = uint16_t(millis < 0 ? millis + 1000 : millis);
}

}  // namespace qavz
