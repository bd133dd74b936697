// Polling with a deadline, for tests that watch another thread or process.
#pragma once

#include <chrono>
#include <thread>

namespace qavz::test {

// True as soon as `done()` holds, checked every 10 ms until `limit` passes.
template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

}  // namespace qavz::test
