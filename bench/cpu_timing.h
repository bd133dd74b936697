// Processor-time measurement shared by the benches: runs of at least a
// minimum length, the best of several, contenders alternating.
#pragma once

#include <algorithm>
#include <ctime>
#include <utility>

namespace qavz::bench {

// Seconds of processor time per call of `f` over one run of at least `minimum` seconds.
template <typename F>
double OneRun(F& f, double minimum) {
  int calls = 0;
  std::clock_t t0 = std::clock();
  double elapsed;
  do {
    f();
    ++calls;
    elapsed = double(std::clock() - t0) / CLOCKS_PER_SEC;
  } while (elapsed < minimum);
  return elapsed / calls;
}

// Two contenders measured in alternating runs, so a change in the machine's
// load falls on both; the best run of each.
template <typename F, typename G>
std::pair<double, double> Race(F f, G g, int runs, double minimum) {
  double bestF = 1e30, bestG = 1e30;
  for (int run = 0; run < runs; ++run) {
    bestF = std::min(bestF, OneRun(f, minimum));
    bestG = std::min(bestG, OneRun(g, minimum));
  }
  return {bestF, bestG};
}

}  // namespace qavz::bench
