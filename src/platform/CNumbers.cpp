#include "platform/CNumbers.h"

#include <locale.h>

#include <algorithm>
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
#else
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return locale;
}
#endif

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The parts of a decimal number at the start of a text.
struct DecimalSyntax {
  std::size_t mantissa = 0;     // first character after the sign
  std::size_t integerEnd = 0;   // end of the integer digits (where the point stands, if any)
  std::size_t mantissaEnd = 0;  // end of the fraction digits (or of the point)
  std::size_t end = 0;          // end of the number, exponent included; 0 when there is no number
  bool hasPoint = false;
  std::uint64_t digitsValue = 0;  // the mantissa's digits as a whole number, while there are at most 19
  std::size_t digits = 0, decimals = 0;
};

DecimalSyntax ScanDecimal(std::string_view text, char decimalSymbol) {
  DecimalSyntax s;
  const std::size_t n = text.size();
  std::size_t i = (n > 0 && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  s.mantissa = i;
  auto digitsFrom = [&](std::size_t& k) {
    for (; k < n && IsDigit(text[k]); ++k)
      if (++s.digits <= 19) s.digitsValue = s.digitsValue * 10 + unsigned(text[k] - '0');
  };
  digitsFrom(i);
  s.integerEnd = i;
  if (i < n && (text[i] == '.' || text[i] == decimalSymbol)) {
    s.hasPoint = true;
    ++i;
    digitsFrom(i);
    s.decimals = i - s.integerEnd - 1;
  }
  s.mantissaEnd = i;
  if (s.digits == 0) return DecimalSyntax{};
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < n && IsDigit(text[j])) {
      while (j < n && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  s.end = i;
  return s;
}

// Plain decimals ("-123.45") of up to 19 digits, as scanned.
bool ReadPlainDecimal(std::string_view text, const DecimalSyntax& s, double& value) {
  if (s.end != s.mantissaEnd || s.digits > 19 || s.digitsValue >= (std::uint64_t(1) << 53)) return false;
  value = cnumbers_detail::ExactQuotient(s.digitsValue, s.decimals, text[0] == '-');
  return true;
}

// Out of double's range: infinite when the first significant digit stands far left of the point,
// zero when it stands far right of it.
double OutOfRange(std::string_view text, const DecimalSyntax& s) {
  long exponent = 0;
  if (s.end > s.mantissaEnd) {
    std::size_t i = s.mantissaEnd + 1;
    const bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-') ++i;
    for (; i < s.end; ++i) exponent = std::min(exponent * 10 + (text[i] - '0'), 100'000'000L);
    if (negative) exponent = -exponent;
  }
  std::size_t first = s.mantissa;
  while (first < s.mantissaEnd && (text[first] == '0' || first == s.integerEnd)) ++first;
  const long position = first < s.integerEnd ? long(s.integerEnd - first) : -long(first - s.integerEnd - 1);
  const bool negative = text[0] == '-';
  const double magnitude = exponent + position > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -magnitude : magnitude;
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

double cnumbers_detail::ReadScannedDecimal(std::string_view text, char decimalSymbol, std::size_t* used) {
  const DecimalSyntax s = ScanDecimal(text, decimalSymbol);
  if (used) *used = s.end;
  if (s.end == 0) return 0.0;
  double value = 0.0;
  if (ReadPlainDecimal(text, s, value)) return value;
  // from_chars reads "." as the point and takes no "+".
  std::string_view number = text.substr(0, s.end);
  if (number.front() == '+') number.remove_prefix(1);
  std::string copy;
  if (s.hasPoint && text[s.integerEnd] != '.') {
    copy.assign(number);
    copy[s.integerEnd - (s.end - number.size())] = '.';
    number = copy;
  }
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  return error == std::errc::result_out_of_range ? OutOfRange(text, s) : value;
}

double StrToDouble(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
  return start == std::string_view::npos ? 0.0 : ReadDecimal(text.substr(start));
}
