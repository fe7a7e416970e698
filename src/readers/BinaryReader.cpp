#include "readers/BinaryReader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#include "contract/ResultCodes.h"
#include "header/HeaderCodes.h"
#include "readers/Interleave.h"
#include "readers/SampleNumbers.h"

namespace {

__extension__ using Int128 = __int128;

// Bytes fetched per positioned read: small enough that the decoding pass finds them in the cache.
constexpr std::uint64_t kChunkBytes = 256 * 1024;

// A file position, or one that reads nothing when it lies beyond what a file can hold.
std::uint64_t ToFilePosition(Int128 position) {
  return position < 0 || position > std::numeric_limits<std::int64_t>::max() ? std::numeric_limits<std::uint64_t>::max()
                                                                             : std::uint64_t(position);
}

}  // namespace

CBinaryReader::~CBinaryReader() {
  if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
}

HRESULT CBinaryReader::Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints,
                            const std::vector<float>& resolutions, bool complex, std::int32_t layers,
                            const SampleLayout& layout) {
  Initialize(dataFile, channels, dataPoints, layout.Multiplexed(), resolutions, complex, layers);
  m_Layout = layout;
  m_hFile = CreateFileA(m_strDataFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_hFile == INVALID_HANDLE_VALUE) return m_OpenResult = GDR_E_DATA_FILE;
  // No byte past this size is read: a pseudo-file that reports 0 bytes reads as nothing.
  m_nFileSize = GetFileVersion(m_hFile).size;
  m_View.Map(m_hFile, m_nFileSize);  // where it cannot, every read is a positioned read

  m_pfnDecode = ChooseDecoder(layout);
  if (!m_pfnDecode || !HasValidLayout()) return m_OpenResult = E_FAIL;
  if (layout.m_SampleFormat == FORMAT_ATS_INT_12_PACKED) m_pfnUnpack = ChooseTwelveBitUnpacker();
  m_nBytesPerPoint = (layout.m_SampleFormat == FORMAT_IEEE_FLOAT_32 ? 4 : 2) * m_nValuesPerPoint;
  if (m_nDataPoints == 0) m_nDataPoints = BinaryPointsInFile(layout, channels, m_nValuesPerPoint, m_nFileSize);
  m_nChannelStride = std::uint64_t(m_nDataPoints) * std::uint64_t(m_nBytesPerPoint) +
                     (layout.m_SegmentDataPoints != 0 ? 0 : std::uint64_t(layout.m_ChannelOffset));
  return m_OpenResult = S_OK;
}

HRESULT CBinaryReader::Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints, bool multiplexed,
                            const std::vector<float>& resolutions, bool complex, std::int32_t layers,
                            std::int32_t binaryFormat, std::int32_t dataOffset, std::int32_t channelOffset,
                            bool bigEndian, std::int32_t segmentHeaderSize, std::int32_t segmentDataPoints) {
  return Open(dataFile, channels, dataPoints, resolutions, complex, layers,
              {.m_DataOrientation = multiplexed ? MULTIPLEXED : VECTORIZED,
               .m_SampleFormat = std::uint32_t(binaryFormat),
               .m_UseBigEndianOrder = bigEndian ? 1 : 0,
               .m_DataOffset = dataOffset,
               .m_ChannelOffset = channelOffset,
               .m_SegmentHeaderSize = segmentHeaderSize,
               .m_SegmentDataPoints = segmentDataPoints});
}

CBinaryReader::Decoder CBinaryReader::ChooseDecoder(const SampleLayout& layout) {
  using namespace numbers;
  // By format: the multiplexed and the vectorized decoder, each for little and for big byte order.
  struct Row {
    std::uint32_t format;
    Decoder multiplexed[2];
    Decoder vectorized[2];
  };
  static constexpr Row kDecoders[] = {
      {FORMAT_IEEE_FLOAT_32,
       {&CBinaryReader::DecodeMux<Float32>, &CBinaryReader::DecodeMux<Float32BigEndian>},
       {&CBinaryReader::DecodeVec<Float32>, &CBinaryReader::DecodeVec<Float32BigEndian>}},
      {FORMAT_INT_16,
       {&CBinaryReader::DecodeMux<Int16>, &CBinaryReader::DecodeMux<Int16BigEndian>},
       {&CBinaryReader::DecodeVec<Int16>, &CBinaryReader::DecodeVec<Int16BigEndian>}},
      {FORMAT_UINT_16,
       {&CBinaryReader::DecodeMux<UInt16>, &CBinaryReader::DecodeMux<UInt16BigEndian>},
       {&CBinaryReader::DecodeVec<UInt16>, &CBinaryReader::DecodeVec<UInt16BigEndian>}},
      // Packed numbers have one byte order, and are multiplexed only.
      {FORMAT_ATS_INT_12_PACKED, {&CBinaryReader::DecodeMuxPacked12, &CBinaryReader::DecodeMuxPacked12}, {}},
  };
  for (const Row& row : kDecoders)
    if (row.format == layout.m_SampleFormat)
      return (layout.Multiplexed() ? row.multiplexed : row.vectorized)[layout.m_UseBigEndianOrder != 0 ? 1 : 0];
  return nullptr;
}

bool CBinaryReader::HasValidLayout() const {
  return m_nChannels >= 0 && m_nValuesPerPoint >= 1 && m_Layout.m_DataOffset >= 0 && m_Layout.m_ChannelOffset >= 0 &&
         m_Layout.m_SegmentHeaderSize >= 0 && m_Layout.m_SegmentDataPoints >= 0;
}

HRESULT CBinaryReader::ReadInterval(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount) {
  return ReadWith(position, count, block, channels, channelCount, [&](float* data, const Selection& selection) {
    if (count == 0 || selection.count == 0) return;
    // The view's bytes that this read may touch: none past the file's size now.
    m_nViewable = m_View.Data() ? std::min(m_nFileSize, GetFileVersion(m_hFile).size) : 0;
    std::invoke(m_pfnDecode, this, position, count, data, selection);
  });
}

void CBinaryReader::PlanSelection(const Selection& selection) {
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  if (!selection.channels) {
    // All channels: one scale per number of a row, so that a row decodes in one straight loop; and
    // sixteen more, as the row's repeat, for the 12-bit unpackers that scale sixteen numbers at once.
    const std::size_t row = std::size_t(m_nChannels) * values;
    m_Scales.Resize(row > 0 ? row + 16 : 0);
    for (std::size_t i = 0; i < m_Scales.Size(); ++i) m_Scales[i] = Resolution(LONG(i % row / values));
    return;
  }
  m_Offsets.Resize(selection.count);
  m_Scales.Resize(selection.count);
  for (std::size_t j = 0; j < selection.count; ++j) {
    m_Offsets[j] = std::size_t(selection.channels[j]) * values;
    m_Scales[j] = Resolution(selection.channels[j]);
  }
}

const std::uint8_t* CBinaryReader::Viewed(std::uint64_t position, std::size_t size) const {
  return position <= m_nViewable && size <= m_nViewable - position ? m_View.Data() + position : nullptr;
}

const std::uint8_t* CBinaryReader::Fetch(std::uint64_t position, std::size_t size) {
  if (const std::uint8_t* viewed = Viewed(position, size)) return viewed;
  m_Buffer.Resize(size);
  const std::uint64_t got = ReadAt(position, m_Buffer.Data(), size);
  std::memset(m_Buffer.Data() + got, 0, size - std::size_t(got));
  return m_Buffer.Data();
}

std::uint64_t CBinaryReader::ReadAt(std::uint64_t position, std::uint8_t* buffer, std::size_t size) {
  if (position >= m_nFileSize) return 0;
  return ReadFileAt(m_hFile, position, buffer, std::min<std::uint64_t>(size, m_nFileSize - position));
}

void CBinaryReader::KeepWindowsOf(const Selection& selection) {
  if (const FileVersion version = GetFileVersion(m_hFile); version != m_WindowsVersion) {
    m_Windows.clear();
    m_WindowsVersion = version;
  }
  if (m_Windows.size() <= selection.count) return;
  std::vector<LONG> selected(selection.count);
  for (std::size_t j = 0; j < selection.count; ++j) selected[j] = selection.Channel(j);
  std::ranges::sort(selected);
  std::erase_if(m_Windows, [&](const auto& entry) { return !std::ranges::binary_search(selected, entry.first); });
}

const std::uint8_t* CBinaryReader::FetchAhead(LONG channel, std::uint64_t position, std::size_t size,
                                              std::uint64_t rest, std::size_t sharing) {
  // The windows of one read stay within 4 MB together, so that they are still in the cache when
  // the next pages are decoded from them; a window is at least as long as the request.
  constexpr std::uint64_t kAllWindows = 4u << 20, kLargestWindow = 256u << 10;
  if (const std::uint8_t* viewed = Viewed(position, size)) return viewed;
  if (position == std::numeric_limits<std::uint64_t>::max()) return Fetch(position, size);
  std::unique_ptr<Window>& window = m_Windows[channel];
  if (!window) window = std::make_unique<Window>();
  if (position < window->start || position - window->start + size > window->size) {
    // What the read still needs of the channel; more only while reads continue where the window
    // ends, the window then doubling (as a kernel's read-ahead does), so that a jump costs no more
    // than it reads.
    const std::uint64_t room = std::min(kLargestWindow, kAllWindows / sharing);
    std::uint64_t length = std::min(rest, room);
    if (position >= window->start && position - window->start <= window->size)
      length = std::max(length, std::min<std::uint64_t>(room, 2 * std::uint64_t(window->size)));
    length = std::max<std::uint64_t>(length, size);
    window->bytes.Resize(std::size_t(length));
    const std::uint64_t got = ReadAt(position, window->bytes.Data(), std::size_t(length));
    std::memset(window->bytes.Data() + got, 0, std::size_t(length - got));
    window->start = position;
    window->size = std::size_t(length);
  }
  return window->bytes.Data() + (position - window->start);
}

std::uint64_t CBinaryReader::RowPosition(std::int64_t row) const {
  const Int128 rowBytes = Int128(m_nChannels) * m_nBytesPerPoint;
  Int128 position = Int128(m_Layout.m_DataOffset) + Int128(row) * rowBytes;
  if (m_Layout.m_SegmentDataPoints > 0)
    position += Int128(row / m_Layout.m_SegmentDataPoints + 1) * m_Layout.m_SegmentHeaderSize;
  return ToFilePosition(position);
}

namespace {

#if defined(__x86_64__)
// Whether the processor has 256-bit integer vectors, for the loops compiled for them.
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

// Visits rows 0 to rowCount − 1 as visit(row, streamed). Rows more than the first-level cache holds
// are visited from four places in turn, a row of each quarter (`streamed`): four streams of bytes from
// a file's cached pages reach the processor sooner than one or two (a window of all INT_16 channels
// took a fifth less time than with two halves, one of a single channel a tenth less; pages 5-20%).
// Rows already in the cache are quicker in order.
template <typename Visit>
[[gnu::always_inline]] inline void VisitRows(std::size_t rowCount, std::size_t rowBytes, Visit&& visit) {
  constexpr std::size_t kCached = 64 * 1024, kStreams = 4;
  const bool streamed = rowCount * rowBytes > kCached;
  const std::size_t step = streamed ? (rowCount + kStreams - 1) / kStreams : rowCount;
  for (std::size_t first = 0; first < step; ++first)
    for (std::size_t r = first; r < rowCount; r += step) visit(r, streamed);
}

// All channels: each row's numbers in order, each times its own scale. Streamed rows ask for their
// lines 2 KB ahead into the second-level cache, as the hardware's prefetching stops at each page's end.
template <typename Number>
[[gnu::always_inline]] inline void ScaleRowsBody(const std::uint8_t* rows, std::size_t rowCount, std::size_t rowBytes,
                                                 float* out, std::size_t numbers, const float* scales) {
  constexpr std::size_t kAhead = 2048;
  VisitRows(rowCount, rowBytes, [&](std::size_t r, bool streamed) {
    const std::uint8_t* row = rows + r * rowBytes;
    if (streamed)
      for (std::size_t line = 0; line < rowBytes; line += 64) __builtin_prefetch(row + kAhead + line, 0, 1);
    float* to = out + r * numbers;
    for (std::size_t i = 0; i < numbers; ++i) to[i] = Number::Load(row + i * Number::kSize) * scales[i];
  });
}

#if defined(__x86_64__)
template <typename Number>
__attribute__((target("avx2"))) void ScaleRowsWide(const std::uint8_t* rows, std::size_t rowCount, std::size_t rowBytes,
                                                   float* out, std::size_t numbers, const float* scales) {
  ScaleRowsBody<Number>(rows, rowCount, rowBytes, out, numbers, scales);
}
#endif

template <typename Number>
void ScaleRows(const std::uint8_t* rows, std::size_t rowCount, std::size_t rowBytes, float* out, std::size_t numbers,
               const float* scales) {
#if defined(__x86_64__)
  // The same loop compiled for 256-bit vectors, where the processor has them.
  if (HasAvx2()) return ScaleRowsWide<Number>(rows, rowCount, rowBytes, out, numbers, scales);
#endif
  ScaleRowsBody<Number>(rows, rowCount, rowBytes, out, numbers, scales);
}

// A run of numbers, each times the same scale. A cache line at a time, with the line eight ahead
// asked for meanwhile: a run straight from a file's cached pages starts far from the processor,
// and the hardware's prefetching alone starts too late for runs as short as a window's.
template <typename Number>
[[gnu::always_inline]] inline void ScaleRunBody(const std::uint8_t* numbers, std::size_t count, float scale,
                                                float* out) {
  constexpr std::size_t kLine = 64 / Number::kSize, kAhead = 8 * 64;
  for (std::size_t i = 0; i < kAhead; i += 64) __builtin_prefetch(numbers + i);
  std::size_t i = 0;
  for (; i + kLine <= count; i += kLine) {
    __builtin_prefetch(numbers + i * Number::kSize + kAhead);
    for (std::size_t k = i; k < i + kLine; ++k) out[k] = Number::Load(numbers + k * Number::kSize) * scale;
  }
  for (; i < count; ++i) out[i] = Number::Load(numbers + i * Number::kSize) * scale;
}

#if defined(__x86_64__)
template <typename Number>
__attribute__((target("avx2"))) void ScaleRunWide(const std::uint8_t* numbers, std::size_t count, float scale,
                                                  float* out) {
  ScaleRunBody<Number>(numbers, count, scale, out);
}
#endif

template <typename Number>
void ScaleRun(const std::uint8_t* numbers, std::size_t count, float scale, float* out) {
#if defined(__x86_64__)
  if (HasAvx2()) return ScaleRunWide<Number>(numbers, count, scale, out);
#endif
  ScaleRunBody<Number>(numbers, count, scale, out);
}

// Copies a run of `points` × `values` numbers into rows `rowFloats` apart, `values` numbers a row.
// Kept out of line: inlined, it made the four-channel loop slower (more instructions in callgrind).
[[gnu::noinline]] void PlaceRun(const float* run, std::size_t points, std::size_t values, float* out,
                                std::size_t rowFloats) {
  for (std::size_t p = 0; p < points; ++p, out += rowFloats)
    for (std::size_t k = 0; k < values; ++k) out[k] = *run++;
}

// Decodes `rowCount` rows of `rowBytes` bytes into the block, `C × V` floats a row.
template <typename Number>
void DecodeRows(const std::uint8_t* rows, std::size_t rowCount, std::size_t rowBytes, float* out, std::size_t selected,
                std::size_t values, const std::size_t* offsets, const float* scales) {
  constexpr std::size_t s = Number::kSize;
  if (!offsets) return ScaleRows<Number>(rows, rowCount, rowBytes, out, selected * values, scales);
  // The first selected number of the row sixteen ahead asked for meanwhile: rows read straight from
  // a file's cached pages are far from the processor, and strided reads defeat its own prefetching.
  VisitRows(rowCount, rowBytes, [&](std::size_t r, bool) {
    const std::uint8_t* row = rows + r * rowBytes;
    __builtin_prefetch(row + 16 * rowBytes + offsets[0] * s);
    float* to = out + r * selected * values;
    for (std::size_t j = 0; j < selected; ++j) {
      const std::uint8_t* number = row + offsets[j] * s;
      for (std::size_t k = 0; k < values; ++k) *to++ = Number::Load(number + k * s) * scales[j];
    }
  });
}

}  // namespace

template <typename Number>
void CBinaryReader::DecodeMux(LONG position, LONG count, float* block, const Selection& selection) {
  PlanSelection(selection);
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  const std::uint64_t rowBytes = std::uint64_t(m_nChannels) * values * Number::kSize;
  const std::size_t blockRow = selection.count * values;
  const std::size_t* offsets = selection.channels ? m_Offsets.Data() : nullptr;
  if (offsets && rowBytes > kChunkBytes) return DecodeMuxSparse<Number>(position, count, block, selection);
  const std::int64_t segment = m_Layout.m_SegmentDataPoints;
  const std::int64_t end = std::int64_t(position) + count;
  // The rows up to the end of the interval or of the segment that `row` lies in.
  auto runEnd = [&](std::int64_t row, std::int64_t limit) {
    return segment > 0 ? std::min(limit, (row / segment + 1) * segment) : limit;
  };

  for (std::int64_t first = position; first < end;) {
    // A chunk: whole rows, segment headers between them included, about kChunkBytes long.
    std::int64_t last = first;
    std::uint64_t bytes = 0;
    while (last < end) {
      const std::int64_t stop = runEnd(last, end);
      const std::uint64_t fit = bytes < kChunkBytes ? (kChunkBytes - bytes) / rowBytes : 0;
      std::int64_t take = std::min<std::int64_t>(stop - last, std::int64_t(std::min<std::uint64_t>(fit, INT32_MAX)));
      if (take == 0 && last == first) take = 1;
      if (take == 0) break;
      last += take;
      bytes += std::uint64_t(take) * rowBytes;
      if (last == stop && last < end) bytes += std::uint64_t(m_Layout.m_SegmentHeaderSize);
    }
    const std::uint64_t start = RowPosition(first);
    const std::uint8_t* buffer = Fetch(start, std::size_t(RowPosition(last - 1) - start + rowBytes));
    for (std::int64_t row = first; row < last;) {
      const std::int64_t stop = runEnd(row, last);
      DecodeRows<Number>(buffer + (RowPosition(row) - start), std::size_t(stop - row), std::size_t(rowBytes),
                         block + std::size_t(row - position) * blockRow, selection.count, values, offsets,
                         m_Scales.Data());
      row = stop;
    }
    first = last;
  }
}

template <typename Number>
void CBinaryReader::DecodeMuxSparse(LONG position, LONG count, float* block, const Selection& selection) {
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  for (std::int64_t row = position; row < std::int64_t(position) + count; ++row) {
    const Int128 start = RowPosition(row);
    for (std::size_t j = 0; j < selection.count; ++j) {
      const std::uint8_t* numbers =
          Fetch(ToFilePosition(start + Int128(m_Offsets[j]) * Number::kSize), values * Number::kSize);
      for (std::size_t k = 0; k < values; ++k) *block++ = Number::Load(numbers + k * Number::kSize) * m_Scales[j];
    }
  }
}

template <typename Number>
void CBinaryReader::DecodeVec(LONG position, LONG count, float* block, const Selection& selection) {
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  const std::uint64_t pointBytes = std::uint64_t(m_nBytesPerPoint);
  const std::size_t blockRow = selection.count * values;
  KeepWindowsOf(selection);
  // A selected channel's `points` × V numbers from point `first` of the read on, from the view or its window.
  auto run = [&](std::size_t j, std::int64_t first, std::size_t points) {
    const LONG channel = selection.Channel(j);
    return FetchAhead(channel,
                      ToFilePosition(Int128(m_Layout.m_DataOffset) + m_Layout.m_ChannelOffset +
                                     Int128(channel) * m_nChannelStride + Int128(position + first) * pointBytes),
                      points * values * Number::kSize, std::uint64_t(count - first) * pointBytes, selection.count);
  };
  // One number a point: sixteen channels at a time, their runs read side by side and interleaved
  // into whole cache lines of the rows.
  constexpr std::size_t kGroup = 16;
  const bool grouped = values == 1 && blockRow > 1;
  // The block is filled a tile of points at a time: as many as keep a group's runs within a chunk
  // (a run read in pieces costs a restart of the processor's prefetching for each) and the runs of
  // all selected channels, which their windows hold at once, within sixteen; or else the tile's rows
  // and a channel's run within a chunk.
  const std::uint64_t tileBytes = grouped ? std::max(kGroup, selection.count / kGroup) * pointBytes
                                          : std::max<std::uint64_t>(blockRow * sizeof(float), pointBytes);
  const std::int64_t tilePoints = std::max<std::int64_t>(1, std::int64_t(kChunkBytes / tileBytes));
  for (std::int64_t first = 0; first < count; first += tilePoints) {
    const std::size_t points = std::size_t(std::min<std::int64_t>(tilePoints, count - first));
    float* tile = block + std::size_t(first) * blockRow;
    if (blockRow == 1) {
      ScaleRun<Number>(run(0, first, points), points * values, Resolution(selection.Channel(0)), tile);
    } else if (grouped) {
      for (std::size_t group = 0; group < selection.count; group += kGroup) {
        const std::size_t channels = std::min(kGroup, selection.count - group);
        const std::uint8_t* runs[kGroup];
        float scales[kGroup];
        for (std::size_t j = 0; j < channels; ++j) {
          runs[j] = run(group + j, first, points);
          scales[j] = Resolution(selection.Channel(group + j));
        }
        InterleaveGroup<Number>(runs, scales, channels, points, tile + group, blockRow);
      }
    } else {
      // More numbers a point: each channel's run placed into the rows.
      m_Unpacked.Resize(points * values);
      for (std::size_t j = 0; j < selection.count; ++j) {
        ScaleRun<Number>(run(j, first, points), points * values, Resolution(selection.Channel(j)), m_Unpacked.Data());
        PlaceRun(m_Unpacked.Data(), points, values, tile + j * values, blockRow);
      }
    }
  }
}

template <typename Number>
void CBinaryReader::InterleaveGroup(const std::uint8_t* const* runs, const float* scales, std::size_t channels,
                                    std::size_t points, float* out, std::size_t outStride) {
#if defined(__x86_64__)
  if (HasAvx2()) return InterleaveScaled<Number>(runs, scales, channels, points, out, outStride);
#endif
  // Elsewhere each run decoded on its own, then the runs interleaved.
  m_Unpacked.Resize(channels * points);
  for (std::size_t j = 0; j < channels; ++j)
    ScaleRun<Number>(runs[j], points, scales[j], m_Unpacked.Data() + j * points);
  InterleaveRuns(m_Unpacked.Data(), points, channels, points, out, outStride);
}

void CBinaryReader::DecodeMuxPacked12(LONG position, LONG count, float* block, const Selection& selection) {
  PlanSelection(selection);
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  const std::uint64_t rowNumbers = std::uint64_t(m_nChannels) * values;
  const std::size_t blockRow = selection.count * values;
  const std::size_t* offsets = selection.channels ? m_Offsets.Data() : nullptr;
  const std::int64_t end = std::int64_t(position) + count;
  if (offsets && rowNumbers > 2 * kChunkBytes / 3) {
    // Rows wider than a chunk with a channel list: each selected channel's numbers on their own.
    for (std::int64_t row = position; row < end; ++row)
      for (std::size_t j = 0; j < selection.count; ++j) {
        const float* numbers = UnpackNumbers(Int128(row) * rowNumbers + offsets[j], values);
        for (std::size_t k = 0; k < values; ++k) *block++ = numbers[k] * m_Scales[j];
      }
    return;
  }
  // All channels are unpacked into the block itself, each number times its scale on the way (a window
  // took a sixth less time than with the scales applied after).
  const TwelveBitScales scales{.repeated = m_Scales.Data(), .period = std::size_t(rowNumbers)};
  // Rows per chunk: about 32 KB of unpacked floats, still in the first-level cache when a channel
  // list picks its numbers.
  constexpr std::uint64_t kUnpackedBytes = 32 * 1024;
  const std::int64_t chunkRows = std::max<std::int64_t>(1, std::int64_t(kUnpackedBytes / (sizeof(float) * rowNumbers)));
  for (std::int64_t first = position; first < end; first += chunkRows) {
    const std::int64_t rows = std::min(chunkRows, end - first);
    const Int128 firstNumber = Int128(first) * rowNumbers;
    const std::size_t numbers = std::size_t(Int128(rows) * rowNumbers);
    float* into = block + std::size_t(first - position) * blockRow;
    if (!offsets) {
      UnpackNumbers(firstNumber, numbers, into, &scales);
      continue;
    }
    DecodeRows<numbers::Float32>(reinterpret_cast<const std::uint8_t*>(UnpackNumbers(firstNumber, numbers)),
                                 std::size_t(rows), std::size_t(rowNumbers) * sizeof(float), into, selection.count,
                                 values, offsets, m_Scales.Data());
  }
}

const float* CBinaryReader::UnpackNumbers(Int128 first, std::size_t numbers, float* into,
                                          const TwelveBitScales* scales) {
  // Number g starts at bit 12 g, so byte 3g/2 (rounded down) holds its start.
  const Int128 firstByte = 3 * first / 2;
  const std::uint8_t* bytes = Fetch(ToFilePosition(m_Layout.m_DataOffset + firstByte),
                                    std::size_t((3 * (first + Int128(numbers)) + 1) / 2 - firstByte));
  if (!into) {
    m_Unpacked.Resize(numbers);
    into = m_Unpacked.Data();
  }
  m_pfnUnpack(bytes, first % 2 != 0, numbers, into, scales);
  return into;
}
