#pragma once
// Output conventions of gdr: UTF-8 text, result codes as 0x and 8 upper-case hex digits, floats
// that read back to the same float32.
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

std::string HexCode(HRESULT code);
// ANSI (the system code page) or UTF-16 text as UTF-8.
std::string AnsiToUtf8(std::string_view text);
std::string WideToUtf8(WideStringView text);
std::string Utf8ToAnsiText(std::string_view text);
// A UTF-8 path as the wide path that the storage functions take.
WideString WidePath(const std::string& utf8);
// The shortest text that reads back to the same float32.
std::string FloatText(float value);
// True when every character of the UTF-8 text has a byte in the ANSI code page.
bool FitsAnsi(std::string_view utf8);
// The data or marker file that a header names (UTF-8) when the ANSI code page cannot hold its name;
// empty when there is none or the header does not load so far.
std::string NamedFileBeyondAnsi(const std::string& header);
// The refusal of such a name.
std::string BeyondAnsiText(const std::string& name);
// One line on stderr: "gdr: " and the text.
void Complain(const std::string& text);
