#pragma once
// The numbers of one line of ASCII data. Columns are separated by blanks, tabs, commas and
// semicolons; after `skipColumns` columns, every maximal run of digits and ".", "-", "+", "e", "E" is
// one number, whatever stands around it. A "," decimal symbol is part of the runs (it reads as ".")
// and no longer separates. NumberRunsUntil and SkipColumns also end a line at a CR or LF, so that
// they can walk a whole text line by line.
#include <cstdint>
#include <string_view>

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

// Calls `onNumber(run)` for each number run of the line that begins at `text[from]` or is under way
// there, in order, while it answers true. Answers where it stopped: behind the run that answered
// false, or at the line's end.
template <typename OnNumber>
std::size_t NumberRunsUntil(std::string_view text, std::size_t from, const ascii_detail::CharClasses& classes,
                            OnNumber&& onNumber) {
  using namespace ascii_detail;
  auto at = [&](std::size_t index) { return classes.of[static_cast<unsigned char>(text[index])]; };
  const std::size_t size = text.size();
  std::size_t i = from;
  while (true) {
    while (i < size && (at(i) & (kNumber | kLineEnd)) == 0) ++i;
    if (i == size || at(i) == kLineEnd) return i;
    const std::size_t start = i;
    while (i < size && at(i) == kNumber) ++i;
    if (!onNumber(text.substr(start, i - start))) return i;
  }
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

// The number of runs ForEachNumberRun would report, counted without looking at them.
inline std::int64_t CountNumberRuns(std::string_view line, char decimalSymbol, std::int32_t skipColumns) {
  const ascii_detail::CharClasses& classes = ascii_detail::ClassesFor(decimalSymbol);
  // Every start of a run: a number character after one that is not.
  std::int64_t runs = 0;
  unsigned previous = 0;
  for (std::size_t i = SkipColumns(line, classes, skipColumns); i < line.size(); ++i) {
    const unsigned current = classes.of[static_cast<unsigned char>(line[i])] & ascii_detail::kNumber;
    runs += current & ~previous;
    previous = current;
  }
  return runs;
}
