#pragma once
// Numbers read from text the same way in every build and whatever the user's locale.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
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

// ReadDecimal's quick path is inline, as the ASCII reader calls it for every number, and its parts
// serve the reader's walk through a text.
namespace cnumbers_detail {

// A mantissa below 2^53 with at most 19 decimals, divided by 10^decimals: two exact doubles, so the
// one rounding of the division is the correct one (as is the conversion of any mantissa alone).
inline double ExactQuotient(std::uint64_t mantissa, std::size_t decimals, bool negative) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                       1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
  const double value = double(mantissa) / kPowers[decimals];
  return negative ? -value : value;
}

}  // namespace cnumbers_detail

// The plain decimal at the start of a text, the bulk of ASCII data: an optional sign, then digits
// with at most one point (a character that `isPoint` accepts), as far as they go.
struct PlainDecimal {
  std::size_t length = 0;      // the characters it spans
  std::size_t point = 0;       // where its point stands; `length` when it has none
  std::uint64_t mantissa = 0;  // its digits as one whole number (wrapped beyond 19 digits)
  bool sign = false, negative = false;

  // Its value, when it has a digit and at most 16 characters: three times as quick as the full scan.
  // A mantissa of 2^53 or more has 16 digits then and no decimals, and converts with one rounding.
  bool Value(double& value) const {
    const std::size_t marks = std::size_t(sign) + std::size_t(point < length);
    if (length > 16 || length == marks) return false;
    value = cnumbers_detail::ExactQuotient(mantissa, point < length ? length - point - 1 : 0, negative);
    return true;
  }
};

template <typename IsPoint>
inline PlainDecimal ScanPlainDecimal(std::string_view text, IsPoint&& isPoint) {
  // Locals in the loop, so that the digits gather in a register.
  const bool sign = !text.empty() && (text[0] == '-' || text[0] == '+');
  std::size_t i = sign ? 1 : 0, point = text.size();
  std::uint64_t mantissa = 0;
  for (; i < text.size(); ++i) {
    const unsigned digit = unsigned(text[i] - '0');
    if (digit < 10)
      mantissa = mantissa * 10 + digit;
    else if (point == text.size() && isPoint(text[i]))
      point = i;
    else
      break;
  }
  return {
      .length = i, .point = std::min(point, i), .mantissa = mantissa, .sign = sign, .negative = sign && text[0] == '-'};
}

namespace cnumbers_detail {

// A whole text that is a plain decimal of at most 16 characters.
inline bool ReadShortDecimal(std::string_view text, char decimalSymbol, double& value) {
  if (text.size() > 16) return false;
  const PlainDecimal plain = ScanPlainDecimal(text, [&](char c) { return c == '.' || c == decimalSymbol; });
  return plain.length == text.size() && plain.Value(value);
}

// Every other text, scanned in full.
double ReadScannedDecimal(std::string_view text, char decimalSymbol, std::size_t* used);

}  // namespace cnumbers_detail

inline double ReadDecimal(std::string_view text, char decimalSymbol, std::size_t* used) {
  if (double value = 0.0; cnumbers_detail::ReadShortDecimal(text, decimalSymbol, value)) {
    if (used) *used = text.size();
    return value;
  }
  return cnumbers_detail::ReadScannedDecimal(text, decimalSymbol, used);
}

inline float ToFloat32(double value) {
  // Halfway between the largest float and 2^128: from there on, rounding to nearest gives infinity.
  constexpr double kLimit = 0x1.ffffffp127;
  if (value >= kLimit) return std::numeric_limits<float>::infinity();
  if (value <= -kLimit) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}
