#pragma once
// Timing for the comparison programs: the median of several runs of a piece of work.
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bench {

inline double MedianSeconds(int repetitions, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace bench
