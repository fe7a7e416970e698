#pragma once
// What the data type code says about the stored numbers; the header, the stored properties and the
// tools all read it this way.
#include <cstdint>

// Set in the low byte of the data type when each value is complex (two numbers).
constexpr std::uint16_t DATATYPE_COMPLEX_BIT = 2;

constexpr bool IsComplex(std::uint16_t dataType) { return (dataType & DATATYPE_COMPLEX_BIT) != 0; }

// Numbers stored per data point of one channel: two for complex values, times the layers.
constexpr std::int64_t ValuesPerPoint(bool complex, std::int32_t layers) {
  return std::int64_t(complex ? 2 : 1) * std::int64_t(layers);
}
