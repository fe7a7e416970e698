#pragma once
// The arithmetic of EDF's header fields: numbers in 8 characters, physical ranges that give a
// channel's resolution exactly, record durations, and text in printable ASCII.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gdr::edf {

// The widths of EDF's fields that the exporter fills.
constexpr std::size_t kNumberWidth = 8, kLabelWidth = 16, kUnitWidth = 8;

// A number as EDF writes it: at most 8 characters, no exponent, no trailing zeros; the nearest such
// text, or the nearest at or below (`Rounding::down`) or at or above (`Rounding::up`) the value. None
// when the value needs more than 8 characters before the point.
enum class Rounding { nearest, down, up };
std::optional<std::string> NumberField(double value, Rounding rounding);

// A float32 resolution as the decimal it was written as (its shortest text that reads back to it):
// value = mantissa * 10^-exponent.
struct Decimal {
  std::int64_t mantissa = 0;
  int exponent = 0;
  static Decimal Of(float value);
  // The text of mantissa * n * 10^-exponent when it fits into 8 characters.
  std::optional<std::string> TimesField(std::int64_t n) const;
};

// The stored integers [low, high] of an integer channel's physical fields: the nearest range around
// the data's [dataLow, dataHigh] within [limitLow, limitHigh] whose ends times the resolution are exact
// in 8 characters (low < high). None when the search finds no such range.
struct IntegerRange {
  std::int64_t low, high;
  std::string physicalLow, physicalHigh;
};
std::optional<IntegerRange> ExactIntegerRange(const Decimal& resolution, std::int64_t dataLow, std::int64_t dataHigh,
                                              std::int64_t limitLow, std::int64_t limitHigh);

// A data record: its duration in EDF's steps of 10 µs and the samples of one channel it holds.
struct RecordShape {
  int duration10us;
  int samples;
};
// 1 s when the sampling rate is a whole number of Hz, else the shortest duration between 1 ms and 60 s
// that holds a whole number of samples; the first of these whose record (`bytesPerSample` for each
// sample of `signals` signals, plus `fixedBytes`) is at most `maxRecordBytes`.
std::optional<RecordShape> ChooseRecord(double samplingIntervalUs, std::int64_t signals, int bytesPerSample,
                                        std::int64_t fixedBytes, std::int64_t maxRecordBytes);

// UTF-8 text in printable ASCII: a letter with marks as the letter, µ as u, every other character
// beyond ASCII and every control as "_"; cut to `width` characters.
std::string AsciiField(std::string_view utf8, std::size_t width);
// UTF-8 text cut to at most `bytes` bytes on a character boundary.
std::string CutUtf8(std::string_view utf8, std::size_t bytes);

}  // namespace gdr::edf
