#include "gdr/Export.h"

#include <algorithm>
#include <chrono>

#include "library/LibraryHost.h"
#include "platform/AsciiCase.h"
#if defined(GDR_EDF)
#include "library/EdfExport.h"
#endif

namespace gdr {

namespace {

// "edf" or "bdf": the option, else the output's extension (unused where the build has no EDF export).
[[maybe_unused]] std::string Format(const std::string& path, const std::string& option) {
  std::string format = option;
  if (format.empty() && path.size() > 4 && path[path.size() - 4] == '.')
    format = ToLowerAscii(path.substr(path.size() - 3));
  if (format != "edf" && format != "bdf")
    library::Refuse(option.empty()
                        ? "the output's format is not known: name it .edf or .bdf, or give the format (edf or bdf)"
                        : "no export format " + option + " (edf or bdf)");
  return format;
}

}  // namespace

ExportReport ExportEdf(const Recording& recording, const std::string& path, const ExportOptions& options) {
#if !defined(GDR_EDF)
  (void)recording, (void)path, (void)options;
  library::Refuse("this build cannot export to EDF");
#else
  const bool bdf = Format(path, options.format) == "bdf";
  if (recording.ValuesPerPoint() > 1)
    library::Refuse("the recording has " + std::to_string(recording.ValuesPerPoint()) +
                    " values per data point (layers or complex values), which EDF cannot hold");
  const std::int64_t first = options.first, count = recording.CheckedRange(first, options.count);
  recording.ReadSize(0, options.channels);  // refuses an unknown channel before anything is written
  std::vector<int> channels = options.channels;
  if (channels.empty())
    for (std::size_t c = 0; c < recording.Channels().size(); ++c) channels.push_back(int(c));

  edf::ExportSource source;
  source.format = recording.Format();
  source.samplingInterval = recording.SamplingInterval();
  source.firstPoint = first;
  source.points = count;
  for (const int c : channels) {
    const Channel& channel = recording.Channels()[std::size_t(c)];
    source.channels.push_back({channel.name, channel.unit, float(channel.resolution)});
  }
  // Markers of all channels and of the exported ones, within the range. The start: the first segment's
  // date, moved to the first exported point.
  const std::vector<Marker>& markers = recording.Markers();
  const auto segment =
      std::find_if(markers.begin(), markers.end(), [](const Marker& m) { return m.type == "New Segment"; });
  if (segment != markers.end() && segment->date)
    source.start = *segment->date +
                   std::chrono::round<std::chrono::system_clock::duration>(std::chrono::duration<double, std::micro>(
                       double(first - segment->position) * source.samplingInterval));
  for (const Marker& m : markers) {
    const bool exported = m.channel < 0 || std::find(channels.begin(), channels.end(), m.channel) != channels.end();
    if (exported && m.position >= first && m.position < first + count)
      source.markers.push_back({m.type, m.description, m.position - first, m.points});
  }
  source.read = [&](std::int64_t from, std::int64_t n, std::span<float> out) {
    recording.Read(first + from, n, channels, out);
  };
  return edf::ExportToEdf(source, path, bdf, options.progress);
#endif
}

}  // namespace gdr
