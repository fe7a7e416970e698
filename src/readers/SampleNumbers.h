#pragma once
// How one stored number of a binary data file becomes a float, for each format and byte order.
// Each policy has the number's size in bytes and a branch-free Load, so that the decoding loops
// that use them vectorize.
#include <bit>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the decoders assume a little-endian machine");

namespace numbers {

template <typename T>
inline T LoadRaw(const std::uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

struct Float32 {
  static constexpr std::size_t kSize = 4;
  static float Load(const std::uint8_t* bytes) { return LoadRaw<float>(bytes); }
};

struct Float32BigEndian {
  static constexpr std::size_t kSize = 4;
  static float Load(const std::uint8_t* bytes) {
    return std::bit_cast<float>(__builtin_bswap32(LoadRaw<std::uint32_t>(bytes)));
  }
};

struct Int16 {
  static constexpr std::size_t kSize = 2;
  static float Load(const std::uint8_t* bytes) { return float(LoadRaw<std::int16_t>(bytes)); }
};

struct Int16BigEndian {
  static constexpr std::size_t kSize = 2;
  static float Load(const std::uint8_t* bytes) {
    return float(std::int16_t(__builtin_bswap16(LoadRaw<std::uint16_t>(bytes))));
  }
};

// Unsigned 16-bit numbers are delivered minus 0x8000, so that they centre on 0.
struct UInt16 {
  static constexpr std::size_t kSize = 2;
  static float Load(const std::uint8_t* bytes) { return float(int(LoadRaw<std::uint16_t>(bytes)) - 32768); }
};

struct UInt16BigEndian {
  static constexpr std::size_t kSize = 2;
  static float Load(const std::uint8_t* bytes) {
    return float(int(__builtin_bswap16(LoadRaw<std::uint16_t>(bytes))) - 32768);
  }
};

}  // namespace numbers
