#pragma once
// Reads binary data files: 32-bit floats, signed or unsigned 16-bit integers in either byte order, or
// packed 12-bit integers; multiplexed (rows of all channels, optionally in segments with headers) or
// vectorized (each channel's points in one run). Each read decodes the file bytes it needs in one
// pass, with the decoder chosen by Open: straight from a view of the file where the platform maps
// it, else fetched with positioned reads in bounded chunks.
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "header/SampleLayout.h"
#include "platform/DataFile.h"
#include "platform/ScratchArray.h"
#include "readers/IntervalReader.h"
#include "readers/TwelveBit.h"

class CBinaryReader : public CIntervalReader {
 public:
  CBinaryReader() = default;
  ~CBinaryReader() override;
  CBinaryReader(const CBinaryReader&) = delete;
  CBinaryReader& operator=(const CBinaryReader&) = delete;

  // S_OK, GDR_E_DATA_FILE when the data file cannot be opened, E_FAIL for a layout it cannot read.
  // With `dataPoints` 0 the count comes from the file's size.
  HRESULT Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints,
               const std::vector<float>& resolutions, bool complex, std::int32_t layers, const SampleLayout& layout);
  // The same with the layout's values one by one.
  HRESULT Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints, bool multiplexed,
               const std::vector<float>& resolutions, bool complex, std::int32_t layers, std::int32_t binaryFormat,
               std::int32_t dataOffset, std::int32_t channelOffset, bool bigEndian, std::int32_t segmentHeaderSize,
               std::int32_t segmentDataPoints);

  HRESULT ReadInterval(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount) override;

 private:
  using Decoder = void (CBinaryReader::*)(LONG, LONG, float*, const Selection&);
  __extension__ using Int128 = __int128;

  // The decoder for the layout's format, orientation and byte order; null for a layout it cannot read.
  static Decoder ChooseDecoder(const SampleLayout& layout);
  // Whether the layout's values are such as a header gives (a damaged store may give others).
  bool HasValidLayout() const;

  // The decoders: each fills the block for the selection (Selection: null channels for all).
  template <typename Number>
  void DecodeMux(LONG position, LONG count, float* block, const Selection& selection);
  // Multiplexed rows wider than a chunk, with a channel list: only the selected numbers are fetched,
  // so that a read costs what it delivers however wide the rows.
  template <typename Number>
  void DecodeMuxSparse(LONG position, LONG count, float* block, const Selection& selection);
  template <typename Number>
  void DecodeVec(LONG position, LONG count, float* block, const Selection& selection);
  // Scales and interleaves the runs of up to sixteen channels of one number a point into rows.
  template <typename Number>
  void InterleaveGroup(const std::uint8_t* const* runs, const float* scales, std::size_t channels, std::size_t points,
                       float* out, std::size_t outStride);
  void DecodeMuxPacked12(LONG position, LONG count, float* block, const Selection& selection);
  // Unpacks packed numbers first to first + numbers − 1 (counted from the data offset) into `into`,
  // else into m_Unpacked; times their scales where given.
  const float* UnpackNumbers(Int128 first, std::size_t numbers, float* into = nullptr,
                             const TwelveBitScales* scales = nullptr);
  // Offsets (in numbers within a row of N × V numbers) and scales of the selected channels.
  void PlanSelection(const Selection& selection);
  // File position of a multiplexed row.
  std::uint64_t RowPosition(std::int64_t row) const;
  // Reads up to `size` bytes at a position, none past the file's size at Open; answers how many arrived.
  std::uint64_t ReadAt(std::uint64_t position, std::uint8_t* buffer, std::size_t size);
  // The bytes at a position in the file's view, where this read may touch them all; else null.
  const std::uint8_t* Viewed(std::uint64_t position, std::size_t size) const;
  // The bytes at a position: in the view, or read into m_Buffer, where what the file does not
  // deliver reads as zero.
  const std::uint8_t* Fetch(std::uint64_t position, std::size_t size);
  // The same for a channel of vectorized data, served from a window of that channel's bytes read
  // ahead, so that a host paging through many channels makes one positioned read per window rather
  // than one per channel and page. `rest`: the bytes from `position` that the read needs in all;
  // `sharing`: the channels of the read, which share the windows' room.
  const std::uint8_t* FetchAhead(LONG channel, std::uint64_t position, std::size_t size, std::uint64_t rest,
                                 std::size_t sharing);
  // Drops the windows that a read cannot use: all of them when the file changed since they were
  // read, else those of channels that the read does not select (when there are more than it needs).
  void KeepWindowsOf(const Selection& selection);

  Decoder m_pfnDecode = nullptr;
  TwelveBitUnpacker m_pfnUnpack = nullptr;
  SampleLayout m_Layout;
  std::int64_t m_nBytesPerPoint = 0;  // B; for packed 12-bit data, the bytes of two points
  // Vectorized data: bytes from one channel's run to the next. Each run follows its own channel
  // offset, or, with a segment length, one offset comes before all channels and the runs lie back to back.
  std::uint64_t m_nChannelStride = 0;
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  std::uint64_t m_nFileSize = 0;  // the data file's size at Open
  FileView m_View;                // the file's first m_nFileSize bytes, where they can be mapped
  std::uint64_t m_nViewable = 0;  // the view's bytes that the current read may touch

  // Per-read scratch space, kept between reads to spare the allocations.
  ScratchArray<std::uint8_t> m_Buffer;
  struct Window {
    std::uint64_t start = 0;
    std::size_t size = 0;
    ScratchArray<std::uint8_t> bytes;
  };
  std::unordered_map<LONG, std::unique_ptr<Window>> m_Windows;  // by channel
  FileVersion m_WindowsVersion;                                 // the file's version when they were read
  ScratchArray<float> m_Unpacked;
  ScratchArray<std::size_t> m_Offsets;
  ScratchArray<float> m_Scales;
};
