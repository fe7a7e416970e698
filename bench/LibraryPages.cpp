// The C++ API's side of bench/python: Recording::ReadBlock (the component's block, no copy) of all
// channels in pages of 1 s and in one read. Prints one JSON object of MB/s of data-file bytes.
//   library_pages SOURCE REPETITIONS
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "Timing.h"
#include "gdr/Recording.h"


int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: library_pages SOURCE REPETITIONS\n");
    return 2;
  }
  const gdr::Recording recording = gdr::Recording::Open(argv[1]);
  const int repetitions = std::atoi(argv[2]);
  const std::int64_t points = recording.DataPoints(), page = std::int64_t(recording.SamplingRate() + 0.5);
  const double bytes = double(std::filesystem::file_size(recording.DataFile()));
  float sink = 0;  // touches each block, as a user's code would
  const double paged = bench::MedianSeconds(repetitions, [&] {
    for (std::int64_t first = 0; first < points; first += page)
      sink += recording.ReadBlock(first, std::min(page, points - first), {}).data()[0];
  });
  const double whole = bench::MedianSeconds(repetitions, [&] { sink += recording.ReadBlock(0, points, {}).data()[0]; });
  std::printf("{\"paged_all\": %.1f, \"one_read\": %.1f, \"sink\": %g}\n", bytes / paged / 1e6, bytes / whole / 1e6,
              double(sink));
  return 0;
}
