#include "header/SampleLayout.h"

#include <algorithm>

namespace {

__extension__ using Int128 = __int128;

}  // namespace

std::int32_t BinaryPointsInFile(const SampleLayout& layout, std::int32_t channels, std::int64_t valuesPerPoint,
                                std::uint64_t fileSize) {
  const Int128 size = fileSize;
  const Int128 values = Int128(channels) * valuesPerPoint;
  if (values <= 0) return 0;
  const std::int64_t bytesPerNumber = layout.m_SampleFormat == FORMAT_IEEE_FLOAT_32 ? 4 : 2;
  // Packed 12-bit numbers take three bytes for two; other layouts may put a channel offset before each channel.
  const Int128 points =
      layout.m_SampleFormat == FORMAT_ATS_INT_12_PACKED
          ? 2 * (size - layout.m_DataOffset) / (3 * values)
          : (size - layout.m_DataOffset - Int128(channels) * layout.m_ChannelOffset) / (values * bytesPerNumber);
  return std::max(std::int32_t(std::uint32_t(std::uint64_t(points))), 0);
}
