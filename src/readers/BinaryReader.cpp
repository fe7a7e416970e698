#include "readers/BinaryReader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#include "contract/ResultCodes.h"
#include "header/HeaderCodes.h"
#include "platform/Files.h"
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

HRESULT CBinaryReader::Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints, bool multiplexed,
                            const std::vector<float>& resolutions, bool complex, std::int32_t layers,
                            std::int32_t binaryFormat, std::int32_t dataOffset, std::int32_t channelOffset,
                            bool bigEndian, std::int32_t segmentHeaderSize, std::int32_t segmentDataPoints) {
  Initialize(dataFile, channels, dataPoints, multiplexed, resolutions, complex, layers);
  m_nBinaryFormat = binaryFormat;
  m_nDataOffset = dataOffset;
  m_nChannelOffset = channelOffset;
  m_bBigEndian = bigEndian ? 1 : 0;
  m_nSegmentHeaderSize = segmentHeaderSize;
  m_nSegmentDataPoints = segmentDataPoints;

  m_hFile = CreateFileA(m_strDataFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_hFile == INVALID_HANDLE_VALUE) return m_OpenResult = GDR_E_DATA_FILE;
  // No byte past this size is read: a pseudo-file that reports 0 bytes reads as nothing.
  m_nFileSize = GetFileVersion(m_hFile).size;

  const bool segmented = segmentDataPoints != 0;
  switch (binaryFormat) {
    case FORMAT_IEEE_FLOAT_32:
      m_pfnDecode = multiplexed ? &CBinaryReader::DecodeMuxFloat
                    : segmented ? &CBinaryReader::DecodeVecSegFloat
                                : &CBinaryReader::DecodeVecFloat;
      break;
    case FORMAT_INT_16:
      m_pfnDecode = multiplexed ? &CBinaryReader::DecodeMuxInt16
                    : segmented ? &CBinaryReader::DecodeVecSegInt16
                                : &CBinaryReader::DecodeVecInt16;
      break;
    case FORMAT_UINT_16:
      m_pfnDecode = multiplexed ? &CBinaryReader::DecodeMuxUInt16
                    : segmented ? &CBinaryReader::DecodeVecSegUInt16
                                : &CBinaryReader::DecodeVecUInt16;
      break;
    case FORMAT_ATS_INT_12_PACKED:
      if (multiplexed) m_pfnDecode = &CBinaryReader::DecodeMuxPacked12;
      m_pfnUnpack = ChooseTwelveBitUnpacker();
      break;
  }
  // Layout values that no header gives (a damaged store) are refused like an unknown format.
  if (!m_pfnDecode || channels < 0 || m_nValuesPerPoint < 1 || dataOffset < 0 || channelOffset < 0 ||
      segmentHeaderSize < 0 || segmentDataPoints < 0)
    return m_OpenResult = E_FAIL;

  const std::int64_t bytesPerNumber = binaryFormat == FORMAT_IEEE_FLOAT_32 ? 4 : 2;
  m_nBytesPerPoint = bytesPerNumber * m_nValuesPerPoint;
  if (m_nDataPoints == 0) {
    const Int128 size = m_nFileSize;
    const Int128 values = Int128(channels) * m_nValuesPerPoint;
    Int128 points = 0;
    if (values > 0)
      points = binaryFormat == FORMAT_ATS_INT_12_PACKED
                   ? 2 * (size - dataOffset) / (3 * values)
                   : (size - dataOffset - Int128(channels) * channelOffset) / (Int128(channels) * m_nBytesPerPoint);
    m_nDataPoints = std::max(std::int32_t(std::uint32_t(std::uint64_t(points))), 0);
  }
  return m_OpenResult = S_OK;
}

HRESULT CBinaryReader::ReadInterval(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount) {
  return ReadWith(position, count, block, channels, channelCount, [&](float* data, const Selection& selection) {
    if (count > 0 && selection.count > 0) std::invoke(m_pfnDecode, this, position, count, data, selection);
  });
}

void CBinaryReader::PlanSelection(const Selection& selection) {
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  if (!selection.channels) {
    // All channels: one scale per number of a row, so that a row decodes in one straight loop.
    m_Scales.Resize(std::size_t(m_nChannels) * values);
    for (std::size_t i = 0; i < m_Scales.Size(); ++i) m_Scales[i] = Resolution(LONG(i / values));
    return;
  }
  m_Offsets.Resize(selection.count);
  m_Scales.Resize(selection.count);
  for (std::size_t j = 0; j < selection.count; ++j) {
    m_Offsets[j] = std::size_t(selection.channels[j]) * values;
    m_Scales[j] = Resolution(selection.channels[j]);
  }
}

const std::uint8_t* CBinaryReader::Fetch(std::uint64_t position, std::size_t size) {
  m_Buffer.Resize(size);
  const std::uint64_t got =
      position == std::numeric_limits<std::uint64_t>::max() ? 0 : ReadAt(position, m_Buffer.Data(), size);
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
                                              std::size_t sharing) {
  // The windows of one read stay within 4 MB together, so that they are still in the cache when
  // the next pages are decoded from them; a window is at least as long as the request.
  constexpr std::uint64_t kAllWindows = 4u << 20, kLargestWindow = 256u << 10;
  if (position == std::numeric_limits<std::uint64_t>::max()) return Fetch(position, size);
  std::unique_ptr<Window>& window = m_Windows[channel];
  if (!window) window = std::make_unique<Window>();
  if (position < window->start || position - window->start + size > window->size) {
    const std::size_t length =
        std::max<std::size_t>(size, std::size_t(std::min<std::uint64_t>(kLargestWindow, kAllWindows / sharing)));
    window->bytes.Resize(length);
    const std::uint64_t got = ReadAt(position, window->bytes.Data(), length);
    std::memset(window->bytes.Data() + got, 0, length - std::size_t(got));
    window->start = position;
    window->size = length;
  }
  return window->bytes.Data() + (position - window->start);
}

std::uint64_t CBinaryReader::RowPosition(std::int64_t row) const {
  const Int128 rowBytes = Int128(m_nChannels) * m_nBytesPerPoint;
  Int128 position = Int128(m_nDataOffset) + Int128(row) * rowBytes;
  if (m_nSegmentDataPoints > 0) position += Int128(row / m_nSegmentDataPoints + 1) * m_nSegmentHeaderSize;
  return ToFilePosition(position);
}

namespace {

// All channels: each row's numbers in order, each times its own scale.
template <typename Number>
[[gnu::always_inline]] inline void ScaleRowsBody(const std::uint8_t* rows, std::size_t rowCount, std::size_t rowBytes,
                                                 float* out, std::size_t numbers, const float* scales) {
  for (std::size_t r = 0; r < rowCount; ++r, rows += rowBytes, out += numbers)
    for (std::size_t i = 0; i < numbers; ++i) out[i] = Number::Load(rows + i * Number::kSize) * scales[i];
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
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide) return ScaleRowsWide<Number>(rows, rowCount, rowBytes, out, numbers, scales);
#endif
  ScaleRowsBody<Number>(rows, rowCount, rowBytes, out, numbers, scales);
}

// Decodes `rowCount` rows of `rowBytes` bytes into the block, `C × V` floats a row.
template <typename Number>
void DecodeRows(const std::uint8_t* rows, std::size_t rowCount, std::size_t rowBytes, float* out, std::size_t selected,
                std::size_t values, const std::size_t* offsets, const float* scales) {
  constexpr std::size_t s = Number::kSize;
  if (!offsets) return ScaleRows<Number>(rows, rowCount, rowBytes, out, selected * values, scales);
  for (std::size_t r = 0; r < rowCount; ++r, rows += rowBytes)
    for (std::size_t j = 0; j < selected; ++j) {
      const std::uint8_t* number = rows + offsets[j] * s;
      for (std::size_t k = 0; k < values; ++k) *out++ = Number::Load(number + k * s) * scales[j];
    }
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
  const std::int64_t segment = m_nSegmentDataPoints;
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
      if (last == stop && last < end) bytes += std::uint64_t(m_nSegmentHeaderSize);
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
void CBinaryReader::DecodeVec(LONG position, LONG count, float* block, const Selection& selection,
                              std::uint64_t channelStride) {
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  const std::uint64_t pointBytes = std::uint64_t(m_nBytesPerPoint);
  const std::size_t blockRow = selection.count * values;
  KeepWindowsOf(selection);
  // The block is filled a tile of points at a time, every selected channel into the same tile, so
  // that the scattered writes of the transposition stay in the cache.
  const std::int64_t tilePoints = std::max<std::int64_t>(
      1, std::int64_t(std::min<std::uint64_t>(kChunkBytes / (blockRow * sizeof(float)), kChunkBytes / pointBytes)));
  // A selected channel's numbers at points first to first + points − 1, from its window.
  auto fetch = [&](std::size_t j, std::int64_t first, std::int64_t points) {
    const LONG channel = selection.Channel(j);
    const Int128 channelStart = Int128(m_nDataOffset) + m_nChannelOffset + Int128(channel) * channelStride;
    return FetchAhead(channel, ToFilePosition(channelStart + Int128(position + first) * pointBytes),
                      std::size_t(std::uint64_t(points) * pointBytes), selection.count);
  };
  for (std::int64_t first = 0; first < count; first += tilePoints) {
    const std::int64_t points = std::min<std::int64_t>(tilePoints, count - first);
    float* tile = block + std::size_t(first) * blockRow;
    // One number per point: a channel's numbers decode as a straight run.
    auto decodeRun = [&](std::size_t j, float* run) {
      const std::uint8_t* buffer = fetch(j, first, points);
      const float scale = Resolution(selection.Channel(j));
      for (std::int64_t p = 0; p < points; ++p) run[p] = Number::Load(buffer + p * Number::kSize) * scale;
    };
    if (blockRow == 1) {
      decodeRun(0, tile);
      continue;
    }
    std::size_t j = 0;
    if (values == 1) {
      // Four channels at a time: each decoded into a run of its own, then the four runs
      // interleaved into the tile's rows.
      m_Unpacked.Resize(4 * std::size_t(points));
      for (; j + 4 <= selection.count; j += 4) {
        const float* runs[4];
        for (std::size_t i = 0; i < 4; ++i) {
          float* run = m_Unpacked.Data() + i * std::size_t(points);
          decodeRun(j + i, run);
          runs[i] = run;
        }
        InterleaveFour(runs, std::size_t(points), tile + j, blockRow);
      }
    }
    for (; j < selection.count; ++j) {
      const std::uint8_t* buffer = fetch(j, first, points);
      const float scale = Resolution(selection.Channel(j));
      float* out = tile + j * values;
      for (std::int64_t p = 0; p < points; ++p, out += blockRow, buffer += pointBytes)
        for (std::size_t k = 0; k < values; ++k) out[k] = Number::Load(buffer + k * Number::kSize) * scale;
    }
  }
}

void CBinaryReader::DecodeMuxPacked12(LONG position, LONG count, float* block, const Selection& selection) {
  PlanSelection(selection);
  const std::size_t values = std::size_t(m_nValuesPerPoint);
  const std::uint64_t rowNumbers = std::uint64_t(m_nChannels) * values;
  const std::size_t blockRow = selection.count * values;
  const std::size_t* offsets = selection.channels ? m_Offsets.Data() : nullptr;
  if (offsets && rowNumbers > 2 * kChunkBytes / 3) {
    // Rows wider than a chunk with a channel list: fetch each selected channel's numbers on their own.
    for (std::int64_t row = position; row < std::int64_t(position) + count; ++row)
      for (std::size_t j = 0; j < selection.count; ++j) {
        const Int128 g0 = Int128(row) * rowNumbers + offsets[j];
        const Int128 firstByte = 3 * g0 / 2;
        const std::uint8_t* bytes = Fetch(ToFilePosition(m_nDataOffset + firstByte),
                                          std::size_t((3 * (g0 + Int128(values)) + 1) / 2 - firstByte));
        m_Unpacked.Resize(values);
        m_pfnUnpack(bytes, g0 % 2 != 0, values, m_Unpacked.Data());
        for (std::size_t k = 0; k < values; ++k) *block++ = m_Unpacked[k] * m_Scales[j];
      }
    return;
  }
  // Rows per chunk: about kChunkBytes of unpacked floats, still in the cache when they are scaled.
  const std::int64_t chunkRows = std::max<std::int64_t>(1, std::int64_t(kChunkBytes / (sizeof(float) * rowNumbers)));
  const std::int64_t end = std::int64_t(position) + count;
  for (std::int64_t first = position; first < end; first += chunkRows) {
    const std::int64_t rows = std::min(chunkRows, end - first);
    // Numbers g0 to g1 − 1; number g starts at bit 12 g, so byte 3g/2 (rounded down) holds its start.
    const Int128 g0 = Int128(first) * rowNumbers;
    const Int128 g1 = g0 + Int128(rows) * rowNumbers;
    const Int128 firstByte = 3 * g0 / 2;
    const std::size_t size = std::size_t((3 * g1 + 1) / 2 - firstByte);
    const std::uint8_t* bytes = Fetch(ToFilePosition(m_nDataOffset + firstByte), size);

    const std::size_t numbers = std::size_t(g1 - g0);
    m_Unpacked.Resize(numbers);
    m_pfnUnpack(bytes, g0 % 2 != 0, numbers, m_Unpacked.Data());
    DecodeRows<numbers::Float32>(reinterpret_cast<const std::uint8_t*>(m_Unpacked.Data()), std::size_t(rows),
                                 std::size_t(rowNumbers) * sizeof(float),
                                 block + std::size_t(first - position) * blockRow, selection.count, values, offsets,
                                 m_Scales.Data());
  }
}

// The named decoders: one per format and layout, each choosing its byte order once per read.
template <typename Little, typename Big>
void CBinaryReader::DecodeMuxIn(LONG position, LONG count, float* block, const Selection& selection) {
  m_bBigEndian ? DecodeMux<Big>(position, count, block, selection)
               : DecodeMux<Little>(position, count, block, selection);
}

// Vectorized data: each channel's run follows its own channel offset, or, with a segment length,
// one offset comes before all channels and the runs lie back to back.
template <typename Little, typename Big>
void CBinaryReader::DecodeVecIn(LONG position, LONG count, float* block, const Selection& selection, bool segmented) {
  const std::uint64_t stride = std::uint64_t(m_nDataPoints) * std::uint64_t(m_nBytesPerPoint) +
                               (segmented ? 0 : std::uint64_t(m_nChannelOffset));
  m_bBigEndian ? DecodeVec<Big>(position, count, block, selection, stride)
               : DecodeVec<Little>(position, count, block, selection, stride);
}

using namespace numbers;

void CBinaryReader::DecodeMuxFloat(LONG p, LONG n, float* b, const Selection& s) {
  DecodeMuxIn<Float32, Float32BigEndian>(p, n, b, s);
}
void CBinaryReader::DecodeMuxInt16(LONG p, LONG n, float* b, const Selection& s) {
  DecodeMuxIn<Int16, Int16BigEndian>(p, n, b, s);
}
void CBinaryReader::DecodeMuxUInt16(LONG p, LONG n, float* b, const Selection& s) {
  DecodeMuxIn<UInt16, UInt16BigEndian>(p, n, b, s);
}
void CBinaryReader::DecodeVecFloat(LONG p, LONG n, float* b, const Selection& s) {
  DecodeVecIn<Float32, Float32BigEndian>(p, n, b, s, false);
}
void CBinaryReader::DecodeVecInt16(LONG p, LONG n, float* b, const Selection& s) {
  DecodeVecIn<Int16, Int16BigEndian>(p, n, b, s, false);
}
void CBinaryReader::DecodeVecUInt16(LONG p, LONG n, float* b, const Selection& s) {
  DecodeVecIn<UInt16, UInt16BigEndian>(p, n, b, s, false);
}
void CBinaryReader::DecodeVecSegFloat(LONG p, LONG n, float* b, const Selection& s) {
  DecodeVecIn<Float32, Float32BigEndian>(p, n, b, s, true);
}
void CBinaryReader::DecodeVecSegInt16(LONG p, LONG n, float* b, const Selection& s) {
  DecodeVecIn<Int16, Int16BigEndian>(p, n, b, s, true);
}
void CBinaryReader::DecodeVecSegUInt16(LONG p, LONG n, float* b, const Selection& s) {
  DecodeVecIn<UInt16, UInt16BigEndian>(p, n, b, s, true);
}
