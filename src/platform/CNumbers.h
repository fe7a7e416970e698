#pragma once
// Numbers read from text the same way in every build and whatever the user's locale.
#include <cstddef>
#include <cstdint>
#include <string_view>

// strtol with base 10 on a 32-bit long: leading white space, an optional sign, digits up to the first
// other character; 0 when no digit follows. Out-of-range values saturate at the 32-bit limits.
// `end` (when not null) receives the first character not read.
std::int32_t StrToLong(const char* text, const char** end = nullptr);

// The longest prefix of `text` in decimal notation: an optional sign, digits with at most one decimal
// point (at least one digit), an optional exponent ("e" or "E", an optional sign, digits). The point is
// "." or `decimalSymbol`. Hexadecimal numbers, "inf" and "nan" are no decimal numbers. 0.0 when nothing
// reads; beyond the range of double the result is infinite or zero. Correctly rounded. `used` (when not
// null) receives the prefix's length.
double ReadDecimal(std::string_view text, char decimalSymbol = '.', std::size_t* used = nullptr);

// Leading white space skipped, then ReadDecimal with "." as the decimal point.
double StrToDouble(std::string_view text);

// A double rounded to the nearest 32-bit float; only values past the float range's rounding limit
// become infinite.
float ToFloat32(double value);
