#pragma once
// Export of a recording to EDF+ or BDF+, the files every EEG program opens: integer samples as the
// file's own digital values with physical ranges that give each resolution exactly (where 8 characters
// allow it), float samples quantised over each channel's range, markers as annotations.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gdr/Recording.h"

namespace gdr {

struct ExportOptions {
  std::string format;  // "edf" or "bdf"; empty: from the output's extension
  std::int64_t first = 0;
  std::optional<std::int64_t> count;     // none: to the end
  std::vector<int> channels;             // empty: all
  std::function<void(double)> progress;  // the share done, 0 to 1
};

struct ExportReport {
  // Per exported channel, the physical value of one digital step: its resolution where the file's
  // integers are written, else the quantisation step.
  std::vector<double> steps;
  std::int64_t paddedPoints = 0;   // zeros that complete the last data record
  std::size_t cutTexts = 0;        // marker texts cut to EDF's 40 bytes
  std::vector<std::string> notes;  // what to tell the user: steps, inexact ranges, padding, cut texts
};

// Writes `path` through `path`.part, renamed when complete: a failed export leaves an existing file as
// it was. Refusals (a range or channel outside the recording, layered or complex data, no format)
// and failures are raised as gdr::Error. Exports run one at a time. A build without EDFlib (the
// Windows build) refuses every export.
GDR_API ExportReport ExportEdf(const Recording& recording, const std::string& path, const ExportOptions& options);

}  // namespace gdr
