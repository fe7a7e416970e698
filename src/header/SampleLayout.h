#pragma once
// Where and how the samples lie in a data file: what a sample reader needs besides the recording's
// channels, points, resolutions and values per point. The parsed header, the stored "InternalData"
// and the readers carry it in this one form.
#include <cstdint>

#include "header/HeaderCodes.h"

struct SampleLayout {
  std::uint32_t m_DataOrientation = VECTORIZED;
  std::uint32_t m_SampleFormat = FORMAT_ASCII;
  // ASCII data
  char m_DecimalSymbol = 0;
  std::int32_t m_SkipLines = 0;
  std::int32_t m_SkipColumns = 0;
  // binary data
  std::int32_t m_UseBigEndianOrder = 0;
  std::int32_t m_DataOffset = 0;
  std::int32_t m_ChannelOffset = 0;
  std::int32_t m_SegmentHeaderSize = 0;
  std::int32_t m_SegmentDataPoints = 0;

  bool Multiplexed() const { return m_DataOrientation != VECTORIZED; }
};

// The data points that a binary data file of `fileSize` bytes holds in the layout, for `channels`
// channels of `valuesPerPoint` numbers each: the low 32 bits of the count, or 0 when they are negative.
std::int32_t BinaryPointsInFile(const SampleLayout& layout, std::int32_t channels, std::int64_t valuesPerPoint,
                                std::uint64_t fileSize);
