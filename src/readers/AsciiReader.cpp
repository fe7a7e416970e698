#include "readers/AsciiReader.h"

#include <algorithm>
#include <limits>

#include "component/Diagnostics.h"
#include "header/AsciiTokens.h"
#include "platform/CNumbers.h"
#include "readers/ScratchArray.h"

namespace {

// A number as atof reads it, stored as float32 (beyond the float range: infinite).
float ReadNumber(std::string_view run) {
  const double value = StrToDoublePrefix(run);
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return float(value);
}

}  // namespace

HRESULT CASCIIReader::Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints, bool multiplexed,
                           const std::vector<float>& resolutions, bool complex, std::int32_t layers, char decimalSymbol,
                           std::int32_t skipLines, std::int32_t skipColumns) {
  return m_OpenResult = Guarded([&] {
           Initialize(dataFile, channels, dataPoints, multiplexed, resolutions, complex, layers);
           m_cDecimalSymbol = decimalSymbol;
           m_nSkipLines = skipLines;
           m_nSkipColumns = skipColumns;
           m_Text = ReadCompactText(m_strDataFile);
           // The decimal symbol reads as "."; replacing it once serves every later parse.
           if (m_cDecimalSymbol != '.') std::ranges::replace(m_Text.Text(), m_cDecimalSymbol, '.');
           return S_OK;
         });
}

void CASCIIReader::ParseLine(std::string_view line, std::vector<float>& numbers) const {
  numbers.clear();
  ForEachNumberRun(line, '.', m_nSkipColumns, [&](std::string_view run) { numbers.push_back(ReadNumber(run)); });
}

void CASCIIReader::BuildIndex() {
  const std::size_t firstLine = std::size_t(std::max(m_nSkipLines, 0));
  const std::size_t dataLines = m_Text.lines.size() > firstLine ? m_Text.lines.size() - firstLine : 0;
  m_FirstNumber.assign(dataLines + 1, 0);
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < dataLines; ++i) {
    m_FirstNumber[i] = total;
    total += std::uint64_t(CountNumberRuns(m_Text[firstLine + i], '.', m_nSkipColumns));
  }
  m_FirstNumber[dataLines] = total;
  m_Indexed = true;
}

template <typename Place>
void CASCIIReader::ReadStream(std::uint64_t first, std::uint64_t end, Place&& place) {
  if (first >= end) return;
  if (!m_Indexed) BuildIndex();
  if (end > m_FirstNumber.back()) AfxThrowOleException(GDR_E_FILE);  // the lines run out
  // The data line that holds stream number `first`: the last one whose first number is not beyond it.
  std::size_t line =
      std::size_t(std::upper_bound(m_FirstNumber.begin(), m_FirstNumber.end() - 1, first) - m_FirstNumber.begin()) - 1;
  const std::size_t firstLine = std::size_t(std::max(m_nSkipLines, 0));
  std::uint64_t g = m_FirstNumber[line];
  for (; g < end; ++line) {
    ForEachNumberRun(m_Text[firstLine + line], '.', m_nSkipColumns, [&](std::string_view run) {
      if (g >= first && g < end) place(g, ReadNumber(run));
      ++g;
    });
  }
}

void CASCIIReader::FillAllChannels(std::int64_t position, std::int64_t count, float* buffer) {
  const std::uint64_t values = std::uint64_t(m_nValuesPerPoint);
  const std::uint64_t channels = std::uint64_t(m_nChannels);
  if (m_bMultiplexed) {
    const std::uint64_t first = std::uint64_t(position) * channels * values;
    ReadStream(first, first + std::uint64_t(count) * channels * values,
               [&](std::uint64_t g, float value) { buffer[g - first] = value; });
    return;
  }
  // Vectorized: each channel's points lie in a run of its own; the last channel's run decides
  // whether the stream is long enough.
  const std::int64_t points = m_nDataPoints;
  const std::uint64_t end =
      values * ((channels - 1) * std::uint64_t(std::max<std::int64_t>(points, 0)) + std::uint64_t(position + count));
  if (channels == 0 || end == 0) return;
  if (!m_Indexed) BuildIndex();
  if (end > m_FirstNumber.back()) AfxThrowOleException(GDR_E_FILE);
  const std::int64_t stop = std::min(position + count, points);
  for (std::uint64_t c = 0; c < channels && position < stop; ++c) {
    const std::uint64_t first = values * (c * std::uint64_t(points) + std::uint64_t(position));
    ReadStream(first, first + values * std::uint64_t(stop - position), [&](std::uint64_t g, float value) {
      const std::uint64_t t = g / values - c * std::uint64_t(points);  // relative to position
      const std::uint64_t k = g % values;
      buffer[((t - std::uint64_t(position)) * channels + c) * values + k] = value;
    });
  }
}

HRESULT CASCIIReader::ReadInterval(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount) {
  return ReadWith(position, count, block, channels, channelCount, [&](float* data, const Selection& selection) {
    const std::size_t values = std::size_t(m_nValuesPerPoint);
    const std::size_t allChannels = std::size_t(m_nChannels);
    std::uint64_t floats = 0;
    if (__builtin_mul_overflow(std::uint64_t(count), std::uint64_t(allChannels) * values, &floats))
      throw std::bad_alloc();
    if (floats == 0) return;  // an empty block, wherever it lies
    if (!selection.channels) {
      // All channels in order: the block has the layout of the parsed numbers; scale in place.
      // Multiplexed text fills every number of the interval or fails; vectorized text leaves the
      // points beyond the data points unfilled.
      if (!m_bMultiplexed) std::fill_n(data, floats, 0.0f);
      FillAllChannels(position, count, data);
      for (float* point = data; point < data + floats;)
        for (std::size_t c = 0; c < allChannels; ++c) {
          const float scale = Resolution(LONG(c));
          for (std::size_t k = 0; k < values; ++k) *point++ *= scale;
        }
      return;
    }
    ScratchArray<float> buffer{std::size_t(floats)};
    if (!m_bMultiplexed) buffer.Zero();
    FillAllChannels(position, count, buffer.Data());
    for (std::size_t p = 0; p < std::size_t(count); ++p)
      for (std::size_t j = 0; j < selection.count; ++j) {
        const LONG channel = selection.Channel(j);
        const float scale = Resolution(channel);
        const float* in = buffer.Data() + (p * allChannels + std::size_t(channel)) * values;
        for (std::size_t k = 0; k < values; ++k) *data++ = scale * in[k];
      }
  });
}
