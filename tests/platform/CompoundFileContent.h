#pragma once
// The content of the interoperability stores, written and checked the same way by our codec, by
// olefile (Python) and by the libgsf writer: streams "s<size>" of the sizes below holding
// byte (i × 31 + size) mod 256 at offset i, a nested storage "Inner" with "Deep" inside, and
// names beyond ASCII.
#include <cstdint>
#include <vector>

inline const std::vector<std::uint32_t> kInteropSizes = {0, 1, 63, 64, 65, 4095, 4096, 4097, 70000, 7500000};

inline std::uint8_t InteropByte(std::uint32_t size, std::uint32_t i) { return std::uint8_t(i * 31 + size); }
