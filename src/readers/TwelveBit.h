#pragma once
// Packed 12-bit numbers: two in three bytes, the first in byte 0 and the high nibble of byte 1, the
// second in the low nibble of byte 1 and byte 2; each a two's complement number.
#include <cstddef>
#include <cstdint>

// Unpacks `numbers` numbers from `bytes` into floats; `odd`: the first starts in the low nibble of
// byte 0. Reads no byte beyond the last number's.
using TwelveBitUnpacker = void (*)(const std::uint8_t* bytes, bool odd, std::size_t numbers, float* out);

void UnpackTwelveBitScalar(const std::uint8_t* bytes, bool odd, std::size_t numbers, float* out);
// The fastest unpacker this processor runs (byte shuffles where it has them).
TwelveBitUnpacker ChooseTwelveBitUnpacker();
