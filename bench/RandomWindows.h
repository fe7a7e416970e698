#pragma once
// Random access as a viewer does it: windows of a few seconds of all channels (or a few) at random
// positions, each read timed on its own.
#include <cstddef>
#include <vector>

#include "readers/IntervalReader.h"

namespace bench {

// Points per window (2 s at 1000 Hz) and windows per measurement.
constexpr LONG kWindowPoints = 2000;
constexpr int kWindowReads = 2000;

// The times in µs, sorted, of `reads` reads of `window` points of the listed channels (null: all) at
// positions drawn the same way for every reader.
std::vector<double> RandomWindowTimes(CIntervalReader& reader, LONG window, int reads,
                                      const std::vector<LONG>* channels);
// The same for a memcpy of `bytes` from random positions of a buffer too large for the caches.
std::vector<double> MemcpyTimes(std::size_t bytes, int reads);
// The value below which a fraction `q` of the sorted times lie.
double Quantile(const std::vector<double>& sorted, double q);

}  // namespace bench
