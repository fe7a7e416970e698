#pragma once
// Export of a recording's samples and markers to an EDF+ or BDF+ file, written with EDFlib.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gdr/Export.h"

namespace gdr::edf {

struct ExportChannel {
  std::string label, unit;  // UTF-8
  float resolution = 1;
};

struct ExportMarker {
  std::string type, description;  // UTF-8
  std::int64_t position = 0;      // from the first exported point
  std::int64_t points = 0;
};

struct ExportSource {
  SampleFormat format = SampleFormat::ieeeFloat32;  // integers are written as the file's own digital values
  double samplingInterval = 0;                      // µs
  std::int64_t firstPoint = 0;                      // the recording's number of the first exported point, for messages
  std::int64_t points = 0;
  std::vector<ExportChannel> channels;
  std::vector<ExportMarker> markers;
  std::optional<std::chrono::system_clock::time_point> start;  // of the first exported point
  // `count` points from `first` (counted from the first exported point) into `out`, point-major.
  std::function<void(std::int64_t first, std::int64_t count, std::span<float> out)> read;
};

// Writes the file at `path`: first to `path`.part, renamed over `path` when complete, so that a failed
// export leaves an existing file as it was. Refusals and failures are raised as gdr::Error. Exports
// run one at a time (EDFlib keeps one table of open files for the process). `progress` gets the share
// done, from 0 to 1.
gdr::ExportReport ExportToEdf(const ExportSource& source, const std::string& path, bool bdf,
                              const std::function<void(double)>& progress = {});

}  // namespace gdr::edf
