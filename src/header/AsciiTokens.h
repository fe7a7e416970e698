#pragma once
// The numbers of one line of ASCII data. Columns are separated by blanks, tabs, commas and
// semicolons; after `skipColumns` columns, every maximal run of digits and ".", "-", "+", "e", "E" is
// one number, whatever stands around it. A "," decimal symbol is part of the runs (it reads as ".")
// and no longer separates.
#include <cstdint>
#include <string_view>

inline bool IsNumberCharacter(char c, char decimalSymbol) {
  return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E' ||
         (c == ',' && decimalSymbol == ',');
}

inline bool IsColumnSeparator(char c, char decimalSymbol) {
  return c == ' ' || c == '\t' || c == ';' || (c == ',' && decimalSymbol != ',');
}

// Calls `onNumber(run)` for each number run of the line, in order.
template <typename OnNumber>
void ForEachNumberRun(std::string_view line, char decimalSymbol, std::int32_t skipColumns, OnNumber&& onNumber) {
  std::size_t i = 0;
  const std::size_t size = line.size();
  for (std::int32_t column = 0; column < skipColumns; ++column) {
    while (i < size && IsColumnSeparator(line[i], decimalSymbol)) ++i;
    if (i == size) return;
    while (i < size && !IsColumnSeparator(line[i], decimalSymbol)) ++i;
  }
  while (true) {
    while (i < size && !IsNumberCharacter(line[i], decimalSymbol)) ++i;
    if (i == size) return;
    const std::size_t start = i;
    while (i < size && IsNumberCharacter(line[i], decimalSymbol)) ++i;
    onNumber(line.substr(start, i - start));
  }
}
