#pragma once
// Numbers read as the C library reads decimal numbers, always in the "C" locale (never the user's),
// and with the range of the Windows C library, where `long` has 32 bits.
#include <cstdint>
#include <string_view>

// strtol with base 10 on a 32-bit long: leading white space, an optional sign, digits up to the first
// other character; 0 when no digit follows. Out-of-range values saturate at the 32-bit limits.
// `end` (when not null) receives the first character not read.
std::int32_t StrToLong(const char* text, const char** end = nullptr);

// strtod: leading white space, then a decimal (or hexadecimal, "inf", "nan") floating-point number
// with "." as decimal point; 0.0 when nothing reads as a number.
double StrToDouble(const char* text, const char** end = nullptr);

// strtod of a text that begins with the number (no leading white space), limited to the text: the
// longest prefix that reads as a decimal number, 0.0 when there is none. Fast and correctly rounded.
double StrToDoublePrefix(std::string_view text);
