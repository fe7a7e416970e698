#include "platform/CNumbers.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// The "C" locale, made once, so that the user's locale never changes how numbers read.
#if defined(_WIN32)
_locale_t CLocale() {
  static const _locale_t locale = _create_locale(LC_ALL, "C");
  return locale;
}
long long strtoll_l(const char* text, char** end, int base, _locale_t locale) {
  return _strtoi64_l(text, end, base, locale);
}
double strtod_l(const char* text, char** end, _locale_t locale) { return _strtod_l(text, end, locale); }
#else
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return locale;
}
#endif

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

namespace {

// Plain decimals ("-123.45"): with a mantissa below 2^53 and at most 22 decimals, mantissa / 10^k
// divides two exact doubles, so the one rounding of the division is the correct rounding.
bool ReadPlainDecimal(std::string_view text, double& value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p < end && *p == '-';
  p += negative;
  std::uint64_t mantissa = 0;
  int digits = 0, decimals = 0;
  bool point = false;
  for (; p < end; ++p) {
    const unsigned digit = unsigned(*p - '0');
    if (digit < 10) {
      if (++digits > 19) return false;
      mantissa = mantissa * 10 + digit;
      decimals += point;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  // An exponent, no digit at all, or too many digits: the general reading.
  if (digits == 0 || (p < end && (*p == 'e' || *p == 'E')) || mantissa >= (std::uint64_t(1) << 53) || decimals > 22)
    return false;
  value = double(mantissa) / kPowers[decimals];
  if (negative) value = -value;
  return true;
}

}  // namespace

double StrToDoublePrefix(std::string_view text) {
  double plain;
  if (ReadPlainDecimal(text, plain)) return plain;
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
