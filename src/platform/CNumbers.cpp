#include "platform/CNumbers.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <string>

#include <locale.h>

namespace {

// The "C" locale, made once, so that the user's locale never changes how numbers read.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return locale;
}

}  // namespace

std::int32_t StrToLong(const char* text, const char** end) {
  char* stop = nullptr;
  const long long value = strtoll_l(text, &stop, 10, CLocale());
  if (end) *end = stop;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

double StrToDouble(const char* text, const char** end) {
  char* stop = nullptr;
  const double value = strtod_l(text, &stop, CLocale());
  if (end) *end = stop;
  return value;
}

double StrToDoublePrefix(std::string_view text) {
  std::string_view number = text;
  // from_chars takes no "+"; the C library takes one sign, so "+-1" reads as nothing.
  if (!number.empty() && number.front() == '+') {
    number.remove_prefix(1);
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) return 0.0;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc()) return value;
  // Beyond the range of double the C library gives infinity or a tiny value; ask it.
  if (error == std::errc::result_out_of_range) return StrToDouble(std::string(text).c_str());
  return 0.0;
}
