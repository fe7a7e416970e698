#include "readers/IntervalReader.h"

#include <cstdint>

#include "contract/DataType.h"

void CIntervalReader::Initialize(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints,
                                 bool multiplexed, const std::vector<float>& resolutions, bool complex,
                                 std::int32_t layers) {
  m_strDataFile = std::string(dataFile);
  m_nChannels = channels;
  m_nDataPoints = dataPoints;
  m_bMultiplexed = multiplexed ? 1 : 0;
  m_vResolutions = resolutions;
  m_bComplex = complex ? 1 : 0;
  m_nLayers = layers;
  m_nValuesPerPoint = ValuesPerPoint(complex, layers);
}

HRESULT CIntervalReader::CheckRead(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount,
                                   std::size_t& floats) const {
  if (!block) return E_POINTER;
  *block = nullptr;
  if (FAILED(m_OpenResult)) return m_OpenResult;
  if (position < 0 || count < 0 || m_nChannels < 0 || m_nValuesPerPoint < 1) return E_INVALIDARG;
  if (channels) {
    if (channelCount < 0) return E_INVALIDARG;
    for (LONG j = 0; j < channelCount; ++j)
      if (channels[j] < 0 || channels[j] >= m_nChannels) return E_INVALIDARG;
  }
  const std::uint64_t selected = channels ? std::uint64_t(channelCount) : std::uint64_t(m_nChannels);
  std::uint64_t total = 0;
  if (__builtin_mul_overflow(std::uint64_t(count), selected, &total) ||
      __builtin_mul_overflow(total, std::uint64_t(m_nValuesPerPoint), &total) ||
      total > std::uint64_t(PTRDIFF_MAX) / sizeof(float))
    return E_INVALIDARG;
  floats = std::size_t(total);
  return S_OK;
}
