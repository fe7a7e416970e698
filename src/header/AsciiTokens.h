#pragma once
// The numbers of one line of ASCII data. Columns are separated by blanks, tabs, commas and
// semicolons; after `skipColumns` columns, every maximal run of digits and ".", "-", "+", "e", "E" is
// one number, whatever stands around it. A "," decimal symbol is part of the runs (it reads as ".")
// and no longer separates. NumberRunsUntil and SkipColumns also end a line at a CR or LF, so that
// they can walk a whole text line by line.
#include <bit>
#include <cstdint>
#include <string_view>

#include "platform/CNumbers.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ascii_detail {

enum : unsigned char { kOther = 0, kNumber = 1, kSeparator = 2, kLineEnd = 4 };

// Character classes for one decimal symbol.
struct CharClasses {
  unsigned char of[256] = {};
  constexpr explicit CharClasses(char decimalSymbol) {
    for (char c : {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '.', '-', '+', 'e', 'E'})
      of[static_cast<unsigned char>(c)] = kNumber;
    for (char c : {' ', '\t', ';', ','}) of[static_cast<unsigned char>(c)] = kSeparator;
    for (char c : {'\r', '\n'}) of[static_cast<unsigned char>(c)] = kLineEnd;
    if (decimalSymbol == ',') of[static_cast<unsigned char>(',')] = kNumber;
  }
};

inline const CharClasses& ClassesFor(char decimalSymbol) {
  static constexpr CharClasses kPoint('.'), kComma(',');
  return decimalSymbol == ',' ? kComma : kPoint;
}

}  // namespace ascii_detail

inline bool IsNumberCharacter(char c, char decimalSymbol) {
  return ascii_detail::ClassesFor(decimalSymbol).of[static_cast<unsigned char>(c)] == ascii_detail::kNumber;
}

inline bool IsColumnSeparator(char c, char decimalSymbol) {
  return ascii_detail::ClassesFor(decimalSymbol).of[static_cast<unsigned char>(c)] == ascii_detail::kSeparator;
}

// Where the skipped columns end: just behind the last of the `skipColumns` columns (at the separator,
// CR, LF or text end that follows it), at the line's end when the line has fewer columns, and at 0
// when no column is skipped.
inline std::size_t SkipColumns(std::string_view line, const ascii_detail::CharClasses& classes,
                               std::int32_t skipColumns) {
  using namespace ascii_detail;
  std::size_t i = 0;
  const std::size_t size = line.size();
  auto at = [&](std::size_t index) { return classes.of[static_cast<unsigned char>(line[index])]; };
  for (std::int32_t column = 0; column < skipColumns; ++column) {
    while (i < size && at(i) == kSeparator) ++i;
    if (i == size || at(i) == kLineEnd) return i;
    while (i < size && (at(i) & (kSeparator | kLineEnd)) == 0) ++i;
  }
  return i;
}

namespace ascii_detail {

// The walk along a line's number runs: `takeRun(start, more)` takes the run that begins at `start`,
// answers where it ends and sets `more` false to stop there. Answers where the walk stopped.
template <typename TakeRun>
std::size_t WalkRuns(std::string_view text, std::size_t from, const CharClasses& classes, TakeRun&& takeRun) {
  const std::size_t size = text.size();
  std::size_t i = from;
  while (true) {
    while (i < size && (classes.of[static_cast<unsigned char>(text[i])] & (kNumber | kLineEnd)) == 0) ++i;
    if (i == size || classes.of[static_cast<unsigned char>(text[i])] == kLineEnd) return i;
    bool more = true;
    i = takeRun(i, more);
    if (!more) return i;
  }
}

inline std::size_t RunEnd(std::string_view text, std::size_t i, const CharClasses& classes) {
  while (i < text.size() && classes.of[static_cast<unsigned char>(text[i])] == kNumber) ++i;
  return i;
}

}  // namespace ascii_detail

// Calls `onNumber(run)` for each number run of the line that begins at `text[from]` or is under way
// there, in order, while it answers true. Answers where it stopped: behind the run that answered
// false, or at the line's end.
template <typename OnNumber>
std::size_t NumberRunsUntil(std::string_view text, std::size_t from, const ascii_detail::CharClasses& classes,
                            OnNumber&& onNumber) {
  return ascii_detail::WalkRuns(text, from, classes, [&](std::size_t start, bool& more) {
    const std::size_t end = ascii_detail::RunEnd(text, start, classes);
    more = onNumber(text.substr(start, end - start));
    return end;
  });
}

// The same walk, calling `onValue(value)` with each run read as ReadDecimal reads it. A plain
// decimal is read while the walk passes it (a fifth quicker than walking it, then reading it).
template <typename OnValue>
std::size_t NumberValuesUntil(std::string_view text, std::size_t from, const ascii_detail::CharClasses& classes,
                              char decimalSymbol, OnValue&& onValue) {
  using namespace ascii_detail;
  // Only a point that belongs to the run: the plain part never reaches past it.
  auto isPoint = [&](char c) {
    return (c == '.' || c == decimalSymbol) && classes.of[static_cast<unsigned char>(c)] == kNumber;
  };
  return WalkRuns(text, from, classes, [&](std::size_t start, bool& more) {
    const PlainDecimal plain = ScanPlainDecimal(text.substr(start), isPoint);
    const std::size_t end = RunEnd(text, start + plain.length, classes);
    double value = 0.0;
    if (end != start + plain.length || !plain.Value(value))
      value = ReadDecimal(text.substr(start, end - start), decimalSymbol);
    more = onValue(value);
    return end;
  });
}

// Calls `onNumber(run)` for each number run of the line, in order.
template <typename OnNumber>
void ForEachNumberRun(std::string_view line, char decimalSymbol, std::int32_t skipColumns, OnNumber&& onNumber) {
  const ascii_detail::CharClasses& classes = ascii_detail::ClassesFor(decimalSymbol);
  NumberRunsUntil(line, SkipColumns(line, classes, skipColumns), classes, [&](std::string_view run) {
    onNumber(run);
    return true;
  });
}

namespace ascii_detail {

#if defined(__SSE2__)
// Bit i set where chunk[i] is a number character: the same set as CharClasses, sixteen at a time.
inline unsigned NumberMask(const char* chunk, bool commaDecimal) {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk));
  auto is = [&](char value) { return _mm_cmpeq_epi8(c, _mm_set1_epi8(value)); };
  __m128i number = _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(c, _mm_set1_epi8('9' + 1)));
  number = _mm_or_si128(number, _mm_or_si128(_mm_or_si128(is('.'), is('-')), _mm_or_si128(is('+'), is('e'))));
  number = _mm_or_si128(number, is('E'));
  if (commaDecimal) number = _mm_or_si128(number, is(','));
  return unsigned(_mm_movemask_epi8(number));
}
#endif

}  // namespace ascii_detail

// The number of runs ForEachNumberRun would report, counted without looking at them: every start of
// a run, a number character after one that is not.
inline std::int64_t CountNumberRuns(std::string_view line, char decimalSymbol, std::int32_t skipColumns) {
  const ascii_detail::CharClasses& classes = ascii_detail::ClassesFor(decimalSymbol);
  std::int64_t runs = 0;
  unsigned previous = 0;
  std::size_t i = SkipColumns(line, classes, skipColumns);
#if defined(__SSE2__)
  // Sixteen characters at a time (the index's walk over the whole text spends most of its time here).
  for (; i + 16 <= line.size(); i += 16) {
    const unsigned number = ascii_detail::NumberMask(line.data() + i, decimalSymbol == ',');
    runs += std::popcount(number & ~((number << 1) | previous));
    previous = number >> 15;
  }
#endif
  for (; i < line.size(); ++i) {
    const unsigned current = classes.of[static_cast<unsigned char>(line[i])] & ascii_detail::kNumber;
    runs += current & ~previous;
    previous = current;
  }
  return runs;
}
