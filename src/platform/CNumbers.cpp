#include "platform/CNumbers.h"

#include <clocale>
#include <cstdlib>
#include <limits>

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
