// gdr read: samples as the library reads them, in chunks of bounded size.
#include <cstdio>
#include <memory>

#include "Commands.h"
#include "Selection.h"
#include "Source.h"
#include "Text.h"
#include "platform/Files.h"

namespace {

// Floats a chunk holds at most: reads stay this small however long the recording.
constexpr std::int64_t kChunkFloats = 1 << 20;

// The line of column names, written cell by cell: a store may declare millions of numbers per point.
void WriteCsvHeader(std::FILE* out, const std::vector<int>& channels, const gdr::Recording& recording) {
  const std::int64_t values = recording.ValuesPerPoint();
  const char* separator = "";
  for (const int c : channels) {
    const std::string& name = recording.Channels()[std::size_t(c)].name;
    for (std::int64_t k = 0; k < values; ++k, separator = ",") {
      std::fputs(separator, out);
      std::fputs(CsvCell(values > 1 ? name + "_" + std::to_string(k + 1) : name).c_str(), out);
    }
  }
  std::fputs("\n", out);
}

// The samples of a block as CSV lines of `perPoint` numbers, written in pieces: one point alone may
// hold millions of numbers.
void WriteCsv(std::FILE* out, std::span<const float> samples, std::size_t perPoint, std::string& text) {
  for (std::size_t i = 0; i < samples.size(); ++i) {
    text.append(FloatText(samples[i])).append((i + 1) % perPoint == 0 ? "\n" : ",");
    if (text.size() >= (1u << 20) || i + 1 == samples.size()) {
      std::fwrite(text.data(), 1, text.size(), out);
      text.clear();
    }
  }
}

int Read(const ReadOptions& options) {
  const std::optional<std::int64_t> held = PointsInDataFile(options.source);
  const gdr::Recording recording = OpenRecording(options.source, options.confine);
  const std::int64_t points = recording.DataPoints();
  const std::int64_t count = recording.CheckedRange(options.from, options.count);
  const std::vector<int> channels = SelectChannels(options.channels, recording);
  std::vector<int> columns = channels;  // the channels delivered, for the column names
  if (channels.empty())
    for (std::size_t c = 0; c < recording.Channels().size(); ++c) columns.push_back(int(c));

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, std::fclose);
  if (!options.output.empty()) {
    file.reset(std::fopen(options.output.c_str(), "wb"));
    if (!file) throw gdr::Error(E_FAIL, "cannot write " + options.output);
  }
  std::FILE* out = file ? file.get() : stdout;
  const bool csv = options.format == "csv";
  if (!csv) SetBinaryMode(out);  // the samples' bytes as they are, never line-end translated
  if (csv) WriteCsvHeader(out, columns, recording);
  if (held && *held < points)
    Complain("the data file holds " + std::to_string(*held) + " of the " + std::to_string(points) +
             " data points the recording declares; the rest read as 0");

  const std::int64_t perPoint = std::max<std::int64_t>(1, std::int64_t(columns.size()) * recording.ValuesPerPoint());
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkFloats / perPoint);
  const Progress progress(count);
  std::string text;
  for (std::int64_t first = options.from; first < options.from + count; first += chunk) {
    const std::int64_t n = std::min(chunk, options.from + count - first);
    const gdr::Block block = recording.ReadBlock(first, n, channels);
    if (csv)
      WriteCsv(out, block.values(), std::size_t(perPoint), text);
    else
      std::fwrite(block.data(), sizeof(float), block.size(), out);
    progress.Update(first + n - options.from);
  }
  if (std::fflush(out) != 0 || std::ferror(out)) throw gdr::Error(E_FAIL, "cannot write the samples");
  return 0;
}

}  // namespace

int RunRead(const ReadOptions& options) {
  try {
    return Read(options);
  } catch (const gdr::Error& error) {
    return Report(error);
  }
}
