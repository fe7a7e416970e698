#pragma once
// The numbers of one line of ASCII data. Columns are separated by blanks, tabs, commas and
// semicolons; after `skipColumns` columns, every maximal run of digits and ".", "-", "+", "e", "E" is
// one number, whatever stands around it. A "," decimal symbol is part of the runs (it reads as ".")
// and no longer separates.
#include <cstdint>
#include <string_view>

namespace ascii_detail {

// Character classes for one decimal symbol: 1 a number character, 2 a column separator.
struct CharClasses {
  unsigned char of[256] = {};
  constexpr explicit CharClasses(char decimalSymbol) {
    for (char c : {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '.', '-', '+', 'e', 'E'})
      of[static_cast<unsigned char>(c)] = 1;
    for (char c : {' ', '\t', ';', ','}) of[static_cast<unsigned char>(c)] = 2;
    if (decimalSymbol == ',') of[static_cast<unsigned char>(',')] = 1;
  }
};

inline const CharClasses& ClassesFor(char decimalSymbol) {
  static constexpr CharClasses kPoint('.'), kComma(',');
  return decimalSymbol == ',' ? kComma : kPoint;
}

}  // namespace ascii_detail

inline bool IsNumberCharacter(char c, char decimalSymbol) {
  return ascii_detail::ClassesFor(decimalSymbol).of[static_cast<unsigned char>(c)] == 1;
}

inline bool IsColumnSeparator(char c, char decimalSymbol) {
  return ascii_detail::ClassesFor(decimalSymbol).of[static_cast<unsigned char>(c)] == 2;
}

// Calls `onNumber(run)` for each number run of the line, in order.
// Where the numbers of a line begin, behind the skipped columns; the line's size when none is left.
inline std::size_t SkipColumns(std::string_view line, const ascii_detail::CharClasses& classes,
                               std::int32_t skipColumns) {
  std::size_t i = 0;
  const std::size_t size = line.size();
  auto at = [&](std::size_t index) { return classes.of[static_cast<unsigned char>(line[index])]; };
  for (std::int32_t column = 0; column < skipColumns; ++column) {
    while (i < size && at(i) == 2) ++i;
    if (i == size) return size;
    while (i < size && at(i) != 2) ++i;
  }
  return i;
}

template <typename OnNumber>
void ForEachNumberRun(std::string_view line, char decimalSymbol, std::int32_t skipColumns, OnNumber&& onNumber) {
  const ascii_detail::CharClasses& classes = ascii_detail::ClassesFor(decimalSymbol);
  auto numeric = [&](std::size_t index) { return classes.of[static_cast<unsigned char>(line[index])] == 1; };
  const std::size_t size = line.size();
  std::size_t i = SkipColumns(line, classes, skipColumns);
  while (true) {
    while (i < size && !numeric(i)) ++i;
    if (i == size) return;
    const std::size_t start = i;
    while (i < size && numeric(i)) ++i;
    onNumber(line.substr(start, i - start));
  }
}

// The number of runs ForEachNumberRun would report, counted without looking at them.
inline std::int64_t CountNumberRuns(std::string_view line, char decimalSymbol, std::int32_t skipColumns) {
  const ascii_detail::CharClasses& classes = ascii_detail::ClassesFor(decimalSymbol);
  // Every start of a run: a number character after one that is not.
  std::int64_t runs = 0;
  unsigned previous = 0;
  for (std::size_t i = SkipColumns(line, classes, skipColumns); i < line.size(); ++i) {
    const unsigned current = classes.of[static_cast<unsigned char>(line[i])] & 1u;
    runs += current & ~previous;
    previous = current;
  }
  return runs;
}
