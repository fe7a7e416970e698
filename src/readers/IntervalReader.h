#pragma once
// The sample readers' common frame: the recording's shape, the read operation and the block it
// returns. A block of `count` points of C selected channels holds count × C × V floats; the value of
// point p, selected channel j and stored number k lies at (p × C + j) × V + k and is the stored
// number times the resolution of channel channels[j], rounded to float32.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinError.h"

class CIntervalReader {
 public:
  virtual ~CIntervalReader() = default;

  // Reads points position to position + count − 1 of the listed channels (null: all channels in
  // order) into a new task-allocated block that the caller frees. On failure *block is null.
  virtual HRESULT ReadInterval(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount) = 0;

  std::int32_t GetDataPoints() const { return m_nDataPoints; }

 protected:
  // The channels one read delivers, and the scale of each.
  struct Selection {
    const LONG* channels;  // null: all channels in order
    std::size_t count;     // C
    LONG Channel(std::size_t j) const { return channels ? channels[j] : LONG(j); }
  };

  // Stores the parameters that every reader shares.
  void Initialize(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints, bool multiplexed,
                  const std::vector<float>& resolutions, bool complex, std::int32_t layers);
  // The resolution of a channel; 1.0 for a channel beyond the stored list. Inline: the ASCII reader
  // asks for it at every channel of every point.
  float Resolution(LONG channel) const {
    return channel >= 0 && std::size_t(channel) < m_vResolutions.size() ? m_vResolutions[std::size_t(channel)] : 1.0f;
  }

  // The shared part of ReadInterval: checks the arguments, allocates the block, has `fill` write it
  // and maps every failure to its result code (releasing the block).
  template <typename Fill>
  HRESULT ReadWith(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount, Fill&& fill);

  std::string m_strDataFile;
  std::int32_t m_nChannels = 0;
  std::int32_t m_nDataPoints = 0;
  std::int32_t m_bMultiplexed = 0;
  std::vector<float> m_vResolutions;
  std::int32_t m_bComplex = 0;
  std::int32_t m_nLayers = 0;
  // V, numbers stored per channel and point; 64 bits wide, since layers reach 2^31.
  std::int64_t m_nValuesPerPoint = 0;
  // What Open answered; a reader that is not open answers every read with it.
  HRESULT m_OpenResult = E_UNEXPECTED;

 private:
  HRESULT CheckRead(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount,
                    std::size_t& floats) const;
};

#include "readers/IntervalReader.inl"
