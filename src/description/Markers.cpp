#include "description/Markers.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <set>

#include "contract/HostInterfaces.h"
#include "header/LineReaders.h"
#include "header/TextRules.h"
#include "platform/CNumbers.h"
#include "platform/ComRuntime.h"
#include "platform/Exceptions.h"

namespace {

constexpr std::string_view kNewSegment = "New Segment";

std::int64_t ReadInt(std::string_view text) { return StrToLong(std::string(text).c_str()); }

// A date field of 20 or 21 characters: YYYYMMDDhhmmssuuuuuu, a 21st character ignored.
double ReadDate(std::string_view field, IHostConverter& converter) {
  auto part = [&](std::size_t start, std::size_t length) { return LONG(ReadInt(field.substr(start, length))); };
  double value = 0.0;
  ThrowIfFailed(converter.DateToValue(part(0, 4), part(4, 2), part(6, 2), part(8, 2), part(10, 2), part(12, 2),
                                      part(14, 6), &value));
  return value;
}

// One marker line's value: type, description, position, points, channel, date and flag, separated
// by commas. Fields behind the description that begin with a letter continue it, and the position
// follows them. Nothing when no field is left for the position.
std::optional<MarkerInfo> ParseMarkerValue(std::string_view value, std::int32_t channelCount, IHostConverter& converter,
                                           std::int32_t& timeZeroPosition) {
  std::vector<std::string_view> fields = SplitFields(value, ',', std::numeric_limits<std::size_t>::max());
  for (std::string_view& field : fields) field = Trim(field);
  std::size_t at = 2;  // the position's field
  while (at < fields.size() && !fields[at].empty() && IsAsciiLetter(fields[at].front())) ++at;
  if (at >= fields.size()) return std::nullopt;
  fields.resize(std::max(fields.size(), at + 5));  // absent fields read as empty ones

  MarkerInfo marker;
  marker.type = UnescapeCommas(fields[0]);
  marker.description = UnescapeCommas(fields[1]);
  for (std::size_t i = 2; i < at; ++i) marker.description.append(", ").append(fields[i]);
  const std::string_view position = fields[at], date = fields[at + 3];
  marker.position = std::int32_t(std::max<std::int64_t>(ReadInt(position) - 1, 0));
  if (!position.empty() && timeZeroPosition == -1 && marker.type == "Time 0") timeZeroPosition = marker.position;
  marker.points = std::int32_t(std::max<std::int64_t>(ReadInt(fields[at + 1]), 1));
  const std::int64_t channel = std::max<std::int64_t>(ReadInt(fields[at + 2]) - 1, -1);
  marker.channel = channel >= channelCount ? -1 : std::int32_t(channel);
  if (date.size() == 20 || date.size() == 21) marker.date = ReadDate(date, converter);
  marker.flag = ReadInt(fields[at + 4]) != 0;
  return marker;
}

}  // namespace

std::vector<MarkerInfo> ReadMarkerFile(std::string_view path, std::int32_t channelCount, IHostConverter& converter,
                                       std::int32_t& timeZeroPosition) {
  const TextLines lines = ReadCompactText(path);
  std::vector<MarkerInfo> markers;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (!line.empty() && line.front() == '[') {
      if (inSection) break;  // the section ends at the next section line
      const std::size_t close = line.find(']');
      inSection = close != std::string_view::npos && EqualsNoCase(line.substr(1, close - 1), "Marker Infos");
      continue;
    }
    if (!inSection || line.size() < 2 || ToLowerAscii(line[0]) != 'm' || ToLowerAscii(line[1]) != 'k') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (std::optional<MarkerInfo> marker =
            ParseMarkerValue(line.substr(equals + 1), channelCount, converter, timeZeroPosition))
      markers.push_back(std::move(*marker));
  }
  return markers;
}

void ForEachMarkerInOrder(std::vector<MarkerInfo>& markers, std::int32_t segmentDataPoints, std::int32_t dataPoints,
                          const std::function<void(const MarkerInfo&)>& deliver) {
  std::stable_sort(markers.begin(), markers.end(), [](const MarkerInfo& a, const MarkerInfo& b) {
    if (a.position != b.position) return a.position < b.position;
    return (a.type == kNewSegment) > (b.type == kNewSegment);
  });
  std::set<std::int32_t> fileSegmentStarts;
  for (const MarkerInfo& marker : markers)
    if (marker.type == kNewSegment) fileSegmentStarts.insert(marker.position);

  // The segment markers are made one at a time, each just before the first marker of the file that
  // does not precede it: where a segment starts the file has no "New Segment" marker, and the
  // others come after it.
  MarkerInfo segment;
  segment.type = kNewSegment;
  std::int64_t next = segmentDataPoints > 0 ? 0 : std::numeric_limits<std::int64_t>::max();
  auto deliverSegmentsUpTo = [&](std::int64_t position) {
    for (; next < dataPoints && next <= position; next += segmentDataPoints) {
      if (fileSegmentStarts.contains(std::int32_t(next))) continue;
      segment.position = std::int32_t(next);
      deliver(segment);
    }
  };
  for (const MarkerInfo& marker : markers) {
    deliverSegmentsUpTo(marker.position);
    deliver(marker);
  }
  deliverSegmentsUpTo(dataPoints);
}

void WriteMarkers(const CHeaderFile& header, IStorage* storage, std::int32_t& timeZeroPosition) {
  ComPtr<IHostMarkerWriter> writer;
  ThrowIfFailed(
      CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_ALL, IidOf<IHostMarkerWriter>(), writer.ReceiveVoid()));
  ComPtr<IHostConverter> converter;
  ThrowIfFailed(
      CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_ALL, IidOf<IHostConverter>(), converter.ReceiveVoid()));
  ThrowIfFailed(writer->Attach(storage));

  std::vector<MarkerInfo> markers;
  if (!header.m_MarkerFile.empty())
    markers = ReadMarkerFile(header.m_MarkerFile, std::int32_t(header.m_Channels.size()), *converter, timeZeroPosition);

  // The writer's answers to the single marker's fields are not examined.
  ForEachMarkerInOrder(markers, header.m_SegmentDataPoints, header.m_DataPoints, [&](const MarkerInfo& marker) {
    writer->BeginMarker(marker.position, marker.points);
    writer->SetType(marker.type.c_str());
    writer->SetDescription(marker.description.c_str());
    if (marker.date != 0.0) writer->SetDate(marker.date);
    if (marker.flag) writer->SetFlag();
    writer->SetChannel(marker.channel);
    writer->AddMarker();
  });
  ThrowIfFailed(writer->Commit());
}
