#pragma once
// Conversions between UTF-8, the system ANSI code page and UTF-16. They never fail on content:
// ill-formed UTF-8 decodes to U+FFFD and characters the ANSI code page lacks become "?".
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

WideString Utf8ToWide(std::string_view text);
WideString AnsiToWide(std::string_view text);
std::string WideToAnsi(WideStringView text);
std::string WideToUtf8(WideStringView text);
// Utf8ToWide, then WideToAnsi, in place.
void Utf8ToAnsi(std::string& text);
// ANSI (the system code page) text as UTF-8, and UTF-8 text as ANSI.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsiText(std::string_view text);
// True when every character of the UTF-8 text has a byte in the ANSI code page.
bool FitsAnsi(std::string_view utf8);
// The refusal of a name (UTF-8) that the ANSI code page cannot hold.
std::string BeyondAnsiText(const std::string& name);
// A text that is valid UTF-8 with at least one multi-byte sequence, converted to ANSI; any other text
// (plain ASCII, or bytes that are no valid UTF-8 such as an ANSI path) unchanged.
std::string DecodeUtf8Path(std::string_view text);
