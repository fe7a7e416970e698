#pragma once
// The summary that gdr info prints, for a header and for a store alike.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/WinTypes.h"

struct SummaryChannel {
  std::string name, reference;  // UTF-8
  float resolution = 0;
  std::string unit;  // as shown
};

struct RecordingSummary {
  std::string dataFile, markerFile;  // UTF-8; no marker file: empty
  std::uint32_t sampleFormat = 0;
  bool vectorized = false, bigEndian = false;
  std::int32_t segmentDataPoints = 0;
  double samplingInterval = 0;
  std::int64_t dataPoints = 0;
  std::optional<std::size_t> markers;  // a store's markers
  std::size_t channelCount = 0;
  std::function<SummaryChannel(std::size_t)> channel;  // made one at a time: there may be millions
  std::string comment;                                 // UTF-8
};

// A channel's unit as shown: its text, else "µV" for the code 0 or the code's number.
std::string UnitShown(WideStringView text, std::int32_t code);
void PrintSummary(const RecordingSummary& s);
