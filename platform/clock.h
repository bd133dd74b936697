// Time for the host, the script threads and the timer natives.
#pragma once

#include <cstdint>

namespace qavz::platform {

// Milliseconds since an arbitrary start, wrapping like the system tick count.
uint32_t TickCount() noexcept;
// Sleeps for at least `milliseconds`; 0 only yields the processor.
void SleepMilliseconds(uint32_t milliseconds) noexcept;
// Processor time the calling thread has used, in seconds (for benchmarks).
double ThreadCpuSeconds() noexcept;
// A monotonic clock in seconds (for benchmarks).
double WallSeconds() noexcept;

}  // namespace qavz::platform
