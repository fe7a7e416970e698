#pragma once
// Packed 12-bit numbers: two in three bytes, the first in byte 0 and the high nibble of byte 1, the
// second in the low nibble of byte 1 and byte 2; each a two's complement number.
#include <cstddef>
#include <cstdint>

// Scales of unpacked numbers by their place: number n of an unpacking (from 0) takes
// repeated[(phase + n) mod period]. `repeated` holds period + 16 entries that repeat with the period,
// so that the scales of sixteen numbers from any place lie side by side.
struct TwelveBitScales {
  const float* repeated = nullptr;
  std::size_t period = 1;
  std::size_t phase = 0;
};

// Unpacks `numbers` numbers from `bytes` into floats, each times its scale where `scales` is given;
// `odd`: the first starts in the low nibble of byte 0. Reads no byte beyond the last number's.
using TwelveBitUnpacker = void (*)(const std::uint8_t* bytes, bool odd, std::size_t numbers, float* out,
                                   const TwelveBitScales* scales);

void UnpackTwelveBitScalar(const std::uint8_t* bytes, bool odd, std::size_t numbers, float* out,
                           const TwelveBitScales* scales = nullptr);
// The fastest unpacker this processor runs (byte shuffles where it has them).
TwelveBitUnpacker ChooseTwelveBitUnpacker();
