#pragma once
// Text rules of the header format: names compare without regard to the case of ASCII letters (and
// of no other letters), white space is the C library's set.
#include <string>
#include <string_view>
#include <vector>

#include "platform/AsciiCase.h"
#include "platform/WinTypes.h"

// A field of a comma-separated line in which "\1" stands for the comma that would otherwise end it.
std::string UnescapeCommas(std::string_view field);

// Blank, tab, LF, VT, FF and CR.
bool IsWhiteSpace(char32_t c);
std::string_view Trim(std::string_view text);
WideStringView Trim(WideStringView text);

// Splits at `separator` into at most `maxFields` fields; the last field ends at the next separator,
// and text behind it is dropped. An empty text is one empty field.
std::vector<std::string_view> SplitFields(std::string_view text, char separator, std::size_t maxFields);
// How many fields the text has when split at every separator.
std::size_t CountFields(std::string_view text, char separator);
