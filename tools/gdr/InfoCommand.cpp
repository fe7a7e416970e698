// gdr info: a header parsed on its own, without a host; a store as the host decodes it.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Confinement.h"
#include "Summary.h"
#include "Text.h"
#include "contract/ResultCodes.h"
#include "header/HeaderFile.h"
#include "header/PathFunctions.h"
#include "platform/Conversions.h"
#include "platform/Exceptions.h"

namespace {

nlohmann::json ChannelJson(const CChannelInfo& c) {
  return {{"name", AnsiToUtf8(c.Name)},
          {"reference", AnsiToUtf8(c.Reference)},
          {"resolution", JsonFloat(c.Resolution)},
          {"coordinates", {JsonFloat(c.Coordinates[0]), JsonFloat(c.Coordinates[1]), JsonFloat(c.Coordinates[2])}},
          {"has_coordinates", c.HasCoordinates},
          {"unit_code", c.UnitCode},
          {"unit_text", WideToUtf8(c.UnitText)}};
}

// The header without its channels, which are written one at a time.
nlohmann::json HeaderJson(const CHeaderFile& h) {
  return {{"data_file", AnsiToUtf8(h.m_DataFile)},
          {"marker_file", AnsiToUtf8(h.m_MarkerFile)},
          {"sampling_interval", h.m_SamplingInterval},
          {"data_type", h.m_DataType},
          {"averaged", h.m_Averaged},
          {"averaged_segments", h.m_AveragedSegments},
          {"data_orientation", h.m_DataOrientation},
          {"sample_format", h.m_SampleFormat},
          {"data_points", h.m_DataPoints},
          {"segmentation_type", h.m_SegmentationType},
          {"segment_data_points", h.m_SegmentDataPoints},
          {"layers", h.m_Layers},
          {"layer_lower_limit", h.m_LayerLowerLimit},
          {"layer_upper_limit", h.m_LayerUpperLimit},
          {"layer_function", h.m_LayerFunction},
          {"decimal_symbol", h.m_DecimalSymbol ? std::string(1, h.m_DecimalSymbol) : std::string()},
          {"skip_lines", h.m_SkipLines},
          {"skip_columns", h.m_SkipColumns},
          {"bytes_per_data_point", JsonFloat(h.m_BytesPerDataPoint)},
          {"use_big_endian_order", h.m_UseBigEndianOrder},
          {"data_offset", h.m_DataOffset},
          {"channel_offset", h.m_ChannelOffset},
          {"segment_header_size", h.m_SegmentHeaderSize},
          {"trailer_size", h.m_TrailerSize},
          {"utf8", h.m_Utf8},
          {"comment", AnsiToUtf8(h.m_Comment)}};
}

RecordingSummary HeaderSummary(const CHeaderFile& h) {
  RecordingSummary s{.dataFile = AnsiToUtf8(h.m_DataFile),
                     .markerFile = AnsiToUtf8(h.m_MarkerFile),
                     .sampleFormat = h.m_SampleFormat,
                     .vectorized = h.m_DataOrientation != MULTIPLEXED,
                     .bigEndian = h.m_UseBigEndianOrder != 0,
                     .segmentDataPoints = h.m_SegmentDataPoints,
                     .samplingInterval = h.m_SamplingInterval,
                     .dataPoints = h.m_DataPoints,
                     .markers = std::nullopt,
                     .channelCount = h.m_Channels.size(),
                     .channel =
                         [&h](std::size_t i) {
                           const CChannelInfo& c = h.m_Channels[i];
                           return SummaryChannel{AnsiToUtf8(c.Name), AnsiToUtf8(c.Reference), c.Resolution,
                                                 UnitShown(c.UnitText, c.UnitCode)};
                         },
                     .comment = AnsiToUtf8(h.m_Comment)};
  return s;
}

}  // namespace

int RunInfo(const InfoOptions& options) {
  const std::string& path = options.header;
  if (!HasHeaderExtension(path))
    if (const std::optional<int> status = InfoOfStore(path, options.json, options.confine)) return *status;
  std::string refusal = FitsAnsi(path) ? std::string() : BeyondAnsiText(path);
  if (refusal.empty() && options.confine) refusal = HeaderConfinement(path);
  if (!refusal.empty()) {
    Complain(refusal);
    return 2;
  }
  CHeaderFile header;
  int result;
  try {
    result = header.Load(Utf8ToAnsiText(path));
  } catch (const CFileException& e) {
    Complain(HexCode(GDR_E_FILE) + " cannot read " + path);
    return 3;
  } catch (const std::bad_alloc&) {
    Complain(HexCode(E_OUTOFMEMORY) + " the header's channel list does not fit into memory");
    return 3;
  }
  if (result == HEADER_INVALID) {
    if (const std::string name = NamedFileBeyondAnsi(path); !name.empty()) {
      Complain(BeyondAnsiText(name));
      return 2;
    }
  }
  const std::string message = AnsiToUtf8(header.m_ErrorMessage);
  if (options.json) {
    std::string text = JsonMembers({{"result", result}, {"message", message}}, 0);
    if (result == HEADER_PARSED) {
      std::fputs((text + ",\n  \"header\": " + JsonMembers(HeaderJson(header), 1) + ",\n    \"channels\": ").c_str(),
                 stdout);
      WriteJsonArray(
          stdout, header.m_Channels.size(), [&](std::size_t i) { return ChannelJson(header.m_Channels[i]); }, 2);
      text = "\n  }";
    }
    std::fputs((text + "\n}\n").c_str(), stdout);
  } else if (result == HEADER_PARSED) {
    PrintSummary(HeaderSummary(header));
  } else if (result == HEADER_NOT_THIS_FORMAT) {
    Complain("not a header file of this format: " + path);
  }
  if (result == HEADER_INVALID && !options.json) Complain(path + ": " + message);
  return result;
}
