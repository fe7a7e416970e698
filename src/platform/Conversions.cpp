#include "platform/Conversions.h"

#include <algorithm>
#include <climits>
#include <new>

#include "platform/CodePages.h"

namespace {

// The conversion functions count in int; longer texts cannot be converted in one call.
int CheckedLength(std::size_t length) {
  if (length > std::size_t(INT_MAX)) throw std::bad_alloc();
  return int(length);
}

WideString ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  WideString wide(std::size_t(needed), WCHAR(0));
  if (needed > 0) MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), needed);
  return wide;
}

}  // namespace

WideString Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }

WideString AnsiToWide(std::string_view text) { return ToWide(CP_ACP, text); }

std::string WideToAnsi(WideStringView text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  // As many bytes as the text has characters: enough for any single-byte code page.
  std::string ansi(text.size(), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, text.data(), length, ansi.data(), length, nullptr, nullptr);
  ansi.resize(std::size_t(std::max(written, 0)));
  return ansi;
}

std::string WideToUtf8(WideStringView text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(std::size_t(std::max(needed, 0)), '\0');
  if (needed > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

void Utf8ToAnsi(std::string& text) { text = WideToAnsi(Utf8ToWide(text)); }

std::string DecodeUtf8Path(std::string_view text) {
  const bool hasMultiByte =
      std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (!hasMultiByte) return std::string(text);
  const int length = CheckedLength(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (needed == 0) return std::string(text);
  return WideToAnsi(Utf8ToWide(text));
}

std::string AnsiToUtf8(std::string_view text) { return WideToUtf8(AnsiToWide(text)); }

std::string Utf8ToAnsiText(std::string_view text) {
  std::string ansi(text);
  Utf8ToAnsi(ansi);
  return ansi;
}

bool FitsAnsi(std::string_view utf8) {
  const WideString wide = Utf8ToWide(utf8);
  if (wide.empty()) return true;
  BOOL replaced = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), CheckedLength(wide.size()), nullptr,
                                       0, nullptr, &replaced);
  return size > 0 && !replaced;
}

std::string BeyondAnsiText(const std::string& name) {
  return name + ": the name has characters that the ANSI code page (Windows-1252) cannot hold";
}
