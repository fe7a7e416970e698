#pragma once
// The marker step of an import: reads the recording's marker file, adds a "New Segment" marker at
// every boundary of a fixed segmentation, orders the list and hands it to the host's marker writer.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "header/HeaderFile.h"
#include "platform/Storage.h"

class IHostConverter;

struct MarkerInfo {
  std::int32_t position = 0;  // first data point, from 0
  std::int32_t points = 1;    // length, at least 1
  double date = 0.0;          // 0.0: no date
  std::string type;
  std::string description;
  std::int32_t channel = -1;  // from 0; -1 for all channels
  bool flag = false;
};

// The markers of the file's [Marker Infos] section. Dates go through the converter; the first
// "Time 0" marker with a position sets `timeZeroPosition` while it is still -1.
std::vector<MarkerInfo> ReadMarkerFile(std::string_view path, std::int32_t channelCount, IHostConverter& converter,
                                       std::int32_t& timeZeroPosition);
// Hands `deliver` the markers sorted by position, a "New Segment" marker before the others at the same
// position, together with a "New Segment" marker at each of 0, S, 2S, ... below `dataPoints` where
// none stands yet (S = `segmentDataPoints`, none when 0). Those are made one at a time as their turn
// comes, so that their number takes no memory.
void ForEachMarkerInOrder(std::vector<MarkerInfo>& markers, std::int32_t segmentDataPoints, std::int32_t dataPoints,
                          const std::function<void(const MarkerInfo&)>& deliver);

// The whole step, through the host's marker writer attached to the recording's storage.
void WriteMarkers(const CHeaderFile& header, IStorage* storage, std::int32_t& timeZeroPosition);
