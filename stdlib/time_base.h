// The millisecond clocks of the timer natives.
#pragma once

#include <cstdint>

namespace qavz {

// The raw monotonic millisecond clock (wraps like a 32-bit tick count).
uint32_t SystemTicks() noexcept;
// The script time base: the raw clock less every paused interval, frozen
// while the application is paused.
uint32_t TimeBaseNow() noexcept;

// Tests drive the clock by hand; null restores the system clock.
using ClockFunction = uint32_t (*)() noexcept;
void SetClockForTesting(ClockFunction clock) noexcept;
// Back to the state of a fresh run: no pause, no paused time, fps and the
// 256 counters cleared.
void ResetTimeBase() noexcept;

// Local date and time as year, month, day of week (0 = Sunday), day, hour,
// minute, second, millisecond.
void LocalDateTime(uint16_t fields[8]) noexcept;

}  // namespace qavz
