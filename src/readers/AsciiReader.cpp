#include "readers/AsciiReader.h"

#include <algorithm>
#include <limits>

#include "contract/Diagnostics.h"
#include "header/AsciiTokens.h"
#include "platform/CNumbers.h"

namespace {

// A run read as a decimal number (the decimal symbol reads as "."), then rounded to float32.
float ReadNumber(std::string_view run, char decimalSymbol) { return ToFloat32(ReadDecimal(run, decimalSymbol)); }

// Point t, channel c and number k of a place in a stream of points of `channels` × `values`
// numbers, stepped along the stream one number at a time.
struct StreamPlace {
  std::uint64_t channels, values;
  std::uint64_t t = 0, c = 0, k = 0;
  // Steps to the next number; answers whether it begins the next point.
  bool Next() {
    if (++k < values) return false;
    k = 0;
    if (++c < channels) return false;
    c = 0;
    ++t;
    return true;
  }
};

}  // namespace

HRESULT CASCIIReader::Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints,
                           const std::vector<float>& resolutions, bool complex, std::int32_t layers,
                           const SampleLayout& layout) {
  return m_OpenResult = Guarded([&] {
           Initialize(dataFile, channels, dataPoints, layout.Multiplexed(), resolutions, complex, layers);
           m_cDecimalSymbol = layout.m_DecimalSymbol;
           m_nSkipLines = layout.m_SkipLines;
           m_nSkipColumns = layout.m_SkipColumns;
           m_Text = ReadCompactData(m_strDataFile);
           return S_OK;
         });
}

HRESULT CASCIIReader::Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints, bool multiplexed,
                           const std::vector<float>& resolutions, bool complex, std::int32_t layers, char decimalSymbol,
                           std::int32_t skipLines, std::int32_t skipColumns) {
  return Open(dataFile, channels, dataPoints, resolutions, complex, layers,
              {.m_DataOrientation = multiplexed ? MULTIPLEXED : VECTORIZED,
               .m_DecimalSymbol = decimalSymbol,
               .m_SkipLines = skipLines,
               .m_SkipColumns = skipColumns});
}

void CASCIIReader::ParseLine(std::string_view line, std::vector<float>& numbers) const {
  numbers.clear();
  ForEachNumberRun(line, m_cDecimalSymbol, m_nSkipColumns,
                   [&](std::string_view run) { numbers.push_back(ReadNumber(run, m_cDecimalSymbol)); });
}

void CASCIIReader::BuildIndex() {
  const ascii_detail::CharClasses& classes = ascii_detail::ClassesFor(m_cDecimalSymbol);
  m_Index.clear();
  std::uint64_t total = 0;
  const std::string_view text = m_Text.Text();
  std::size_t skip = std::size_t(std::max(m_nSkipLines, 0));
  m_Text.ForEachCompactLine([&](std::string_view line) {
    if (skip > 0) return void(--skip);
    const std::uint64_t runs = std::uint64_t(CountNumberRuns(line, m_cDecimalSymbol, m_nSkipColumns));
    // Only a line that holds an indexed number is walked run by run.
    if (total + runs > m_Index.size() * kIndexStep) {
      std::uint64_t g = total;
      NumberRunsUntil(line, SkipColumns(line, classes, m_nSkipColumns), classes, [&](std::string_view run) {
        if (g++ % kIndexStep == 0) m_Index.push_back(std::size_t(run.data() - text.data()));
        return true;
      });
    }
    total += runs;
  });
  m_Numbers = total;
  m_Indexed = true;
}

template <bool kValues, typename Visit>
void CASCIIReader::ReadStream(std::uint64_t first, std::uint64_t end, Visit&& visit) {
  if (first >= end) return;
  // From the indexed number next before `first`, along its line and the lines after it.
  const ascii_detail::CharClasses& classes = ascii_detail::ClassesFor(m_cDecimalSymbol);
  const std::string_view text = m_Text.Text();
  std::uint64_t g = first / kIndexStep * kIndexStep;
  std::size_t at = m_Index[first / kIndexStep];
  bool more = true;
  // Walks the lines from `at` with `until`, a walk along one line that answers where it stopped,
  // while `more` holds.
  auto alongLines = [&](auto&& until) {
    while (true) {
      at = until(at);
      if (!more || at == text.size()) return;
      // The next line, behind the line ends and its skipped columns.
      while (at < text.size() && classes.of[static_cast<unsigned char>(text[at])] == ascii_detail::kLineEnd) ++at;
      at += SkipColumns(text.substr(at), classes, m_nSkipColumns);
    }
  };
  // The numbers before `first` are passed over unread.
  if (g < first)
    alongLines([&](std::size_t from) {
      return NumberRunsUntil(text, from, classes, [&](std::string_view) { return more = ++g < first; });
    });
  more = g == first;
  auto onNumber = [&](auto number) {
    visit(number);
    return more = ++g < end;
  };
  if (more) {
    if constexpr (kValues)
      alongLines([&](std::size_t from) { return NumberValuesUntil(text, from, classes, m_cDecimalSymbol, onNumber); });
    else
      alongLines([&](std::size_t from) { return NumberRunsUntil(text, from, classes, onNumber); });
  }
  // Fewer numbers than the index promised: the file changed during the read.
  if (g < end) AfxThrowOleException(GDR_E_FILE);
  m_NumbersWalked += g - first / kIndexStep * kIndexStep;
}

void CASCIIReader::RequireStream(std::uint64_t end) {
  if (m_Text.KeepWithinFile()) m_Indexed = false;  // the file was written since
  if (!m_Indexed) BuildIndex();
  if (end > m_Numbers) AfxThrowOleException(GDR_E_FILE);  // the lines run out
}

void CASCIIReader::FillMultiplexed(std::uint64_t position, std::uint64_t count, const Selection& selection,
                                   float* block) {
  const std::uint64_t values = std::uint64_t(m_nValuesPerPoint);
  const std::uint64_t channels = std::uint64_t(m_nChannels);
  const std::uint64_t perPoint = channels * values;  // below 2^62
  // An interval that ends beyond 64 bits lies beyond any text.
  std::uint64_t first = 0, span = 0, end = 0;
  if (__builtin_mul_overflow(position, perPoint, &first) || __builtin_mul_overflow(count, perPoint, &span) ||
      __builtin_add_overflow(first, span, &end))
    AfxThrowOleException(GDR_E_FILE);
  RequireStream(end);

  StreamPlace at{channels, values};
  if (!selection.channels) {  // all channels: the block has the stream's order
    float scale = Resolution(0);
    ReadStream<true>(first, end, [&](double number) {
      *block++ = scale * ToFloat32(number);
      at.Next();
      if (at.k == 0) scale = Resolution(LONG(at.c));
    });
    return;
  }

  // The selected channels in stream order; a channel listed twice has two slots in the block.
  struct Target {
    LONG channel;
    std::size_t slot;
    float scale;
  };
  std::vector<Target> targets(selection.count);
  for (std::size_t j = 0; j < selection.count; ++j)
    targets[j] = {selection.Channel(j), j, Resolution(selection.Channel(j))};
  std::ranges::stable_sort(targets, {}, &Target::channel);

  // Only selected numbers are parsed; `next` is the first target of the channel or after it.
  std::size_t next = 0;
  ReadStream<false>(first, end, [&](std::string_view run) {
    while (next < targets.size() && std::uint64_t(targets[next].channel) < at.c) ++next;
    if (next < targets.size() && std::uint64_t(targets[next].channel) == at.c) {
      const float number = ReadNumber(run, m_cDecimalSymbol);
      for (std::size_t i = next; i < targets.size() && std::uint64_t(targets[i].channel) == at.c; ++i)
        block[(at.t * selection.count + targets[i].slot) * values + at.k] = targets[i].scale * number;
    }
    if (at.Next()) next = 0;
  });
}

void CASCIIReader::FillVectorized(std::uint64_t position, std::uint64_t count, const Selection& selection,
                                  float* block) {
  // Each channel's points lie in a run of their own; the last channel's run decides whether the
  // stream is long enough, whichever channels are read.
  const std::uint64_t values = std::uint64_t(m_nValuesPerPoint);
  const std::uint64_t channels = std::uint64_t(m_nChannels);
  const std::uint64_t points = std::uint64_t(std::max(m_nDataPoints, 0));
  std::uint64_t end = 0;
  if (__builtin_mul_overflow((channels - 1) * points + position + count, values, &end))
    AfxThrowOleException(GDR_E_FILE);
  RequireStream(end);
  const std::uint64_t stop = std::min(position + count, points);
  if (position >= stop) return;  // beyond the data points: zeros
  for (std::size_t j = 0; j < selection.count; ++j) {
    const std::uint64_t channel = std::uint64_t(selection.Channel(j));
    const float scale = Resolution(LONG(channel));
    const std::uint64_t first = values * (channel * points + position);
    StreamPlace at{1, values};  // along one channel's run
    ReadStream<true>(first, first + values * (stop - position), [&](double number) {
      block[(at.t * selection.count + j) * values + at.k] = scale * ToFloat32(number);
      at.Next();
    });
  }
}

HRESULT CASCIIReader::ReadInterval(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount) {
  return ReadWith(position, count, block, channels, channelCount, [&](float* data, const Selection& selection) {
    if (count == 0 || selection.count == 0 || m_nValuesPerPoint == 0) return;  // an empty block, wherever it lies
    if (m_bMultiplexed) {
      // Multiplexed text fills every number of the interval or fails.
      FillMultiplexed(std::uint64_t(position), std::uint64_t(count), selection, data);
    } else {
      // Vectorized text leaves the points beyond the data points zero.
      std::fill_n(data, std::size_t(count) * selection.count * std::size_t(m_nValuesPerPoint), 0.0f);
      FillVectorized(std::uint64_t(position), std::uint64_t(count), selection, data);
    }
  });
}
