#include "Summary.h"

#include <cstdio>

#include "Text.h"
#include "platform/Conversions.h"

namespace {

const char* FormatName(std::uint32_t format) {
  static const char* const kNames[] = {"ASCII", "IEEE_FLOAT_32", "INT_16", "UINT_16", "ATS_INT_12_PACKED"};
  return format < 5 ? kNames[format] : "?";
}

}  // namespace

std::string UnitShown(WideStringView text, std::int32_t code) {
  if (!text.empty()) return WideToUtf8(text);
  return code == 0 ? "\xC2\xB5V" : "code " + std::to_string(code);
}

void PrintSummary(const RecordingSummary& s) {
  std::printf("Data file      %s\n", EscapeControls(s.dataFile).c_str());
  if (!s.markerFile.empty()) std::printf("Marker file    %s\n", EscapeControls(s.markerFile).c_str());
  std::printf("Layout         %s, %s%s", FormatName(s.sampleFormat), s.vectorized ? "vectorized" : "multiplexed",
              s.bigEndian ? ", big-endian" : "");
  if (s.segmentDataPoints > 0) std::printf(", segments of %d points", s.segmentDataPoints);
  std::printf("\nSampling       %g us (%g Hz)\n", s.samplingInterval, 1e6 / s.samplingInterval);
  std::printf("Data points    %lld (%.3f s)\n", static_cast<long long>(s.dataPoints),
              double(s.dataPoints) * s.samplingInterval / 1e6);
  if (s.markers) std::printf("Markers        %zu\n", *s.markers);
  std::printf("Channels       %zu\n", s.channelCount);
  for (std::size_t i = 0; i < s.channelCount; ++i) {
    const SummaryChannel c = s.channel(i);
    std::printf("  %3zu  %-10s ref %-8s %s %s\n", i, EscapeControls(c.name).c_str(),
                c.reference.empty() ? "-" : EscapeControls(c.reference).c_str(), FloatText(c.resolution).c_str(),
                EscapeControls(c.unit).c_str());
  }
  if (!s.comment.empty()) std::printf("Comment\n%s\n", EscapeLines(s.comment).c_str());
}
