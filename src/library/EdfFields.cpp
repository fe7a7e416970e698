#include "library/EdfFields.h"

#include <charconv>
#include <cmath>

namespace gdr::edf {

namespace {

// The digits of n with a point before the last `decimals` of them, and a sign.
std::string DecimalText(std::int64_t n, int decimals) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  if (decimals > 0) {
    if (digits.size() <= std::size_t(decimals)) digits.insert(0, std::size_t(decimals) + 1 - digits.size(), '0');
    digits.insert(digits.size() - std::size_t(decimals), 1, '.');
  }
  return n < 0 ? "-" + digits : digits;
}

}  // namespace

std::optional<std::string> NumberField(double value, Rounding rounding) {
  if (!std::isfinite(value)) return std::nullopt;
  // The most decimals that fit, fewer when rounding carries into a new digit.
  for (int decimals = int(kNumberWidth) - 2; decimals >= 0; --decimals) {
    const long double scaled = static_cast<long double>(value) * std::pow(10.0L, decimals);
    if (std::fabs(scaled) >= 1e17L) continue;
    const long double whole = rounding == Rounding::down ? std::floor(scaled)
                              : rounding == Rounding::up ? std::ceil(scaled)
                                                         : std::round(scaled);
    std::int64_t n = std::int64_t(whole);
    int shown = decimals;
    for (; shown > 0 && n % 10 == 0; --shown) n /= 10;
    const std::string text = DecimalText(n, shown);
    if (text.size() <= kNumberWidth) return text;
  }
  return std::nullopt;
}

Decimal Decimal::Of(float value) {
  if (!std::isfinite(value)) return {};
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, value).ptr;
  Decimal d;
  int fraction = -1, power = 0;
  bool negative = false;
  for (const char* p = text; p < end; ++p) {
    if (*p == '-') {
      negative = true;
    } else if (*p == '.') {
      fraction = 0;
    } else if (*p == 'e') {
      std::from_chars(p + 1 + (p[1] == '+'), end, power);
      break;
    } else {
      d.mantissa = d.mantissa * 10 + (*p - '0');
      if (fraction >= 0) ++fraction;
    }
  }
  d.exponent = std::max(fraction, 0) - power;
  if (negative) d.mantissa = -d.mantissa;
  return d;
}

std::optional<std::string> Decimal::TimesField(std::int64_t n) const {
  std::int64_t product = mantissa * n;
  int decimals = exponent;
  for (; decimals > 0 && product % 10 == 0; --decimals) product /= 10;
  if (product == 0) return "0";
  if (decimals < -int(kNumberWidth)) return std::nullopt;
  std::string text = DecimalText(product, std::max(decimals, 0));
  if (decimals < 0) text.append(std::size_t(-decimals), '0');
  if (text.size() > kNumberWidth) return std::nullopt;
  return text;
}

std::optional<IntegerRange> ExactIntegerRange(const Decimal& resolution, std::int64_t dataLow, std::int64_t dataHigh,
                                              std::int64_t limitLow, std::int64_t limitHigh) {
  if (resolution.mantissa == 0 || dataLow < limitLow || dataHigh > limitHigh || dataLow > dataHigh) return std::nullopt;
  // A constant channel still needs two ends.
  if (dataLow == dataHigh && dataHigh < limitHigh)
    ++dataHigh;
  else if (dataLow == dataHigh && --dataLow < limitLow)
    return std::nullopt;
  // Exact ends recur with a period of at most a power of ten; a bounded search finds them.
  constexpr std::int64_t kSearch = 1 << 16;
  IntegerRange range{};
  std::optional<std::string> text;
  for (range.low = dataLow; range.low >= std::max(limitLow, dataLow - kSearch) && !text; --range.low)
    text = resolution.TimesField(range.low);
  if (!text) return std::nullopt;
  ++range.low;
  range.physicalLow = *text;
  text.reset();
  for (range.high = dataHigh; range.high <= std::min(limitHigh, dataHigh + kSearch) && !text; ++range.high)
    text = resolution.TimesField(range.high);
  if (!text) return std::nullopt;
  --range.high;
  range.physicalHigh = *text;
  return range;
}

std::optional<RecordShape> ChooseRecord(double samplingIntervalUs, std::int64_t signals, int bytesPerSample,
                                        std::int64_t fixedBytes, std::int64_t maxRecordBytes) {
  if (!(samplingIntervalUs > 0) || !std::isfinite(samplingIntervalUs)) return std::nullopt;
  // Whole: the samples' durations add up to the record's within 10 fs, what a double's rounding of the
  // recording's interval allows over 60 s.
  auto whole = [&](int steps) -> std::optional<RecordShape> {
    const long double n = std::round(steps * 10.0L / samplingIntervalUs);
    if (n < 1 || n > 1e8L || std::fabs(n * samplingIntervalUs - steps * 10.0L) > 1e-8L) return std::nullopt;
    return RecordShape{steps, int(n)};
  };
  auto fits = [&](const RecordShape& shape) {
    return signals * shape.samples * bytesPerSample + fixedBytes <= maxRecordBytes;
  };
  constexpr int kSecond = 100000, kShortest = 100, kLongest = 6000000;
  if (const std::optional<RecordShape> second = whole(kSecond); second && fits(*second)) return second;
  for (int steps = kShortest; steps <= kLongest; ++steps)
    if (const std::optional<RecordShape> shape = whole(steps)) return fits(*shape) ? shape : std::nullopt;
  return std::nullopt;
}

std::string AsciiField(std::string_view utf8, std::size_t width) {
  // U+00C0 to U+00FF: the letter without its marks; the two signs among them as "_".
  static constexpr std::string_view kLatin1 = "AAAAAAACEEEEIIIIDNOOOOO_OUUUUYTsaaaaaaaceeeeiiiidnooooo_ouuuuyty";
  std::string ascii;
  for (std::size_t i = 0; i < utf8.size() && ascii.size() < width;) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    if (code >= 0x20 && code < 0x7F)
      ascii += char(code);
    else if (code >= 0xC0 && code <= 0xFF && length == 2)
      ascii += kLatin1[code - 0xC0];
    else if (code == 0xB5 || code == 0x3BC)  // micro sign, Greek mu
      ascii += 'u';
    else
      ascii += '_';
  }
  return ascii;
}

std::string CutUtf8(std::string_view utf8, std::size_t bytes) {
  if (utf8.size() <= bytes) return std::string(utf8);
  std::size_t cut = bytes;
  while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
  return std::string(utf8.substr(0, cut));
}

}  // namespace gdr::edf
