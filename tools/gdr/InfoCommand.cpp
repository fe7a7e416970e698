// gdr info: the header parsed on its own, without a host.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Confinement.h"
#include "Text.h"
#include "contract/ResultCodes.h"
#include "header/HeaderFile.h"
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

const char* FormatName(std::uint32_t format) {
  static const char* const kNames[] = {"ASCII", "IEEE_FLOAT_32", "INT_16", "UINT_16", "ATS_INT_12_PACKED"};
  return format < 5 ? kNames[format] : "?";
}

void PrintSummary(const CHeaderFile& h) {
  const double seconds = h.m_DataPoints * h.m_SamplingInterval / 1e6;
  auto shown = [](std::string_view ansi) { return EscapeControls(AnsiToUtf8(ansi)); };
  std::printf("Data file      %s\n", shown(h.m_DataFile).c_str());
  if (!h.m_MarkerFile.empty()) std::printf("Marker file    %s\n", shown(h.m_MarkerFile).c_str());
  std::printf("Layout         %s, %s%s", FormatName(h.m_SampleFormat),
              h.m_DataOrientation == MULTIPLEXED ? "multiplexed" : "vectorized",
              h.m_UseBigEndianOrder ? ", big-endian" : "");
  if (h.m_SegmentDataPoints > 0) std::printf(", segments of %d points", h.m_SegmentDataPoints);
  std::printf("\nSampling       %g us (%g Hz)\n", h.m_SamplingInterval, 1e6 / h.m_SamplingInterval);
  std::printf("Data points    %d (%.3f s)\n", h.m_DataPoints, seconds);
  std::printf("Channels       %zu\n", h.m_Channels.size());
  for (std::size_t i = 0; i < h.m_Channels.size(); ++i) {
    const CChannelInfo& c = h.m_Channels[i];
    const std::string unit = c.UnitText.empty() ? (c.UnitCode == 0 ? "\xC2\xB5V" : "code " + std::to_string(c.UnitCode))
                                                : EscapeControls(WideToUtf8(c.UnitText));
    std::printf("  %3zu  %-10s ref %-8s %s %s\n", i, shown(c.Name).c_str(),
                c.Reference.empty() ? "-" : shown(c.Reference).c_str(), FloatText(c.Resolution).c_str(), unit.c_str());
  }
  if (!h.m_Comment.empty()) std::printf("Comment\n%s\n", EscapeLines(AnsiToUtf8(h.m_Comment)).c_str());
}

}  // namespace

int RunInfo(const std::string& path, bool json, bool confine) {
  std::string refusal = FitsAnsi(path) ? std::string() : BeyondAnsiText(path);
  if (refusal.empty() && confine) refusal = HeaderConfinement(path);
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
  if (json) {
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
    PrintSummary(header);
  } else if (result == HEADER_NOT_THIS_FORMAT) {
    Complain("not a header file of this format: " + path);
  }
  if (result == HEADER_INVALID && !json) std::fprintf(stderr, "%s\n", EscapeControls(message).c_str());
  return result;
}
