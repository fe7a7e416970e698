#pragma once
// Reading a block into a vector, and a binary layout with an independent reading of its file's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "header/HeaderCodes.h"
#include "platform/ComRuntime.h"
#include "readers/BinaryReader.h"

struct ReadResult {
  HRESULT result;
  std::vector<float> values;
};

// A read's result and block of `floats` floats; a failed read leaves no block.
inline ReadResult ReadBlock(CIntervalReader& reader, LONG position, LONG count, const std::vector<LONG>* channels,
                            std::size_t floats) {
  float* block = reinterpret_cast<float*>(std::uintptr_t(1));  // must be overwritten
  const HRESULT result = reader.ReadInterval(position, count, &block, channels ? channels->data() : nullptr,
                                             channels ? LONG(channels->size()) : 0);
  EXPECT_EQ(block == nullptr, FAILED(result)) << std::hex << result;
  if (FAILED(result)) return {result, {}};
  ReadResult read{result, std::vector<float>(block, block + floats)};
  CoTaskMemFree(block);
  return read;
}

// Floats compared bit for bit: NaNs and signed zeros too.
inline bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

struct Layout {
  std::int32_t format = FORMAT_INT_16;
  bool bigEndian = false;
  bool multiplexed = true;
  std::int32_t channels = 3, points = 10, layers = 1;
  bool complex = false;
  std::int32_t dataOffset = 0, channelOffset = 0, headerSize = 0, segmentPoints = 0;
  std::vector<float> resolutions = {};

  std::int64_t Values() const { return (complex ? 2 : 1) * std::int64_t(layers); }
  std::int64_t NumberSize() const { return format == FORMAT_IEEE_FLOAT_32 ? 4 : 2; }

  // Byte position of number k of channel c at point t (not for packed data).
  std::int64_t Position(std::int64_t t, std::int64_t c, std::int64_t k) const {
    const std::int64_t b = NumberSize() * Values(), s = NumberSize(), row = channels * b;
    if (multiplexed) {
      const std::int64_t headers = segmentPoints > 0 ? (t / segmentPoints + 1) * headerSize : 0;
      return dataOffset + headers + t * row + c * b + k * s;
    }
    if (segmentPoints > 0) return dataOffset + channelOffset + c * points * b + t * b + k * s;
    return dataOffset + channelOffset + c * (points * b + channelOffset) + t * b + k * s;
  }

  // A file of random bytes: offsets, headers and numbers alike, and 64 bytes behind the last number
  // (a reader that counted the points from the file's size would place vectorized channels elsewhere).
  std::string Write(std::mt19937& random) const {
    const std::int64_t size = format == FORMAT_ATS_INT_12_PACKED
                                  ? dataOffset + (3 * std::int64_t(points) * channels * Values() + 1) / 2
                                  : Position(points - 1, channels - 1, Values() - 1) + NumberSize();
    std::string bytes(std::size_t(std::max<std::int64_t>(size, 0) + 64), '\0');
    for (char& byte : bytes) byte = char(random());
    return bytes;
  }

  // The delivered value of a number, read from the file's bytes (missing bytes read as zero).
  float Expected(const std::string& file, std::int64_t t, std::int64_t c, std::int64_t k) const {
    const float resolution = std::size_t(c) < resolutions.size() ? resolutions[std::size_t(c)] : 1.0f;
    auto byte = [&](std::int64_t at) -> std::uint8_t {
      return at >= 0 && at < std::int64_t(file.size()) ? std::uint8_t(file[std::size_t(at)]) : 0;
    };
    if (format == FORMAT_ATS_INT_12_PACKED) {
      const std::int64_t g = (t * channels + c) * Values() + k, at = dataOffset + 3 * g / 2;
      const unsigned raw =
          g % 2 == 0 ? unsigned(byte(at)) << 4 | byte(at + 1) >> 4 : unsigned(byte(at) & 0x0F) << 8 | byte(at + 1);
      return float(int(raw ^ 0x800) - 0x800) * resolution;
    }
    std::uint8_t in[4] = {};
    const std::int64_t at = Position(t, c, k), s = NumberSize();
    for (std::int64_t i = 0; i < s; ++i) in[i] = byte(at + i);
    if (bigEndian) std::reverse(in, in + s);
    if (format == FORMAT_IEEE_FLOAT_32) return std::bit_cast<float>(in) * resolution;
    const std::uint16_t raw = std::uint16_t(in[0] | in[1] << 8);
    return float(format == FORMAT_UINT_16 ? int(raw) - 32768 : int(std::int16_t(raw))) * resolution;
  }

  HRESULT Open(CBinaryReader& reader, const std::string& path, std::int32_t dataPoints) const {
    return reader.Open(path, channels, dataPoints, multiplexed, resolutions, complex, layers, format, dataOffset,
                       channelOffset, bigEndian, headerSize, segmentPoints);
  }
};
