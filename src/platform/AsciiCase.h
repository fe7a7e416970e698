#pragma once
// ASCII letters and their case. Names that compare "without regard to case" here (header names,
// registry keys, electrode labels) fold the 26 ASCII letters only and leave every other character alone.
#include <algorithm>
#include <concepts>
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

template <std::integral Char>
constexpr Char ToLowerAscii(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? Char(c - Char('A') + Char('a')) : c;
}

inline std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  std::ranges::transform(lower, lower.begin(), ToLowerAscii<char>);
  return lower;
}

inline WideString ToLowerAscii(WideStringView text) {
  WideString lower(text);
  std::ranges::transform(lower, lower.begin(), ToLowerAscii<WCHAR>);
  return lower;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return ToLowerAscii(x) == ToLowerAscii(y); });
}
