#include "Text.h"

#include <charconv>
#include <cstdio>

#include "header/Conversions.h"
#include "platform/CodePages.h"

std::string HexCode(HRESULT code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(code));
  return text;
}

std::string WideToUtf8(WideStringView text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(std::size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

std::string AnsiToUtf8(std::string_view text) { return WideToUtf8(AnsiToWide(text)); }

std::string Utf8ToAnsiText(std::string_view text) {
  std::string ansi(text);
  Utf8ToAnsi(ansi);
  return ansi;
}

std::string FloatText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void Complain(const std::string& text) { std::fprintf(stderr, "gdr: %s\n", text.c_str()); }

WideString WidePath(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), nullptr, 0);
  WideString wide(std::size_t(size), WCHAR(0));
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), wide.data(), size);
  return wide;
}
