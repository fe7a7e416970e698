#include "RandomWindows.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/ComRuntime.h"

namespace bench {

namespace {

template <typename Work>
std::vector<double> TimeEach(int reads, std::uint64_t positions, Work&& work) {
  std::mt19937_64 random(21);
  std::uniform_int_distribution<std::uint64_t> at(0, positions - 1);
  std::vector<double> times;
  for (int i = 0; i < reads; ++i) {
    const std::uint64_t position = at(random);
    const auto start = std::chrono::steady_clock::now();
    work(position);
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  std::ranges::sort(times);
  return times;
}

}  // namespace

std::vector<double> RandomWindowTimes(CIntervalReader& reader, LONG window, int reads,
                                      const std::vector<LONG>* channels) {
  const LONG points = reader.GetDataPoints();
  window = std::min(window, points);
  return TimeEach(reads, std::uint64_t(points - window) + 1, [&](std::uint64_t position) {
    float* block = nullptr;
    if (FAILED(reader.ReadInterval(LONG(position), window, &block, channels ? channels->data() : nullptr,
                                   channels ? LONG(channels->size()) : 0)))
      std::abort();
    CoTaskMemFree(block);
  });
}

std::vector<double> MemcpyTimes(std::size_t bytes, int reads) {
  const std::size_t total = std::max<std::size_t>(std::size_t(256) << 20, 4 * bytes);
  std::vector<char> from(total, 1), to(bytes, 2);
  return TimeEach(reads, total - bytes + 1, [&](std::uint64_t position) {
    std::memcpy(to.data(), from.data() + position, bytes);
    asm volatile("" : : "r"(to.data()) : "memory");
  });
}

double Quantile(const std::vector<double>& sorted, double q) {
  return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, std::size_t(q * double(sorted.size())))];
}

}  // namespace bench
