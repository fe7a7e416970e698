#include "Text.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

#include "header/Conversions.h"
#include "header/HeaderFile.h"
#include "header/PathFunctions.h"
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

bool FitsAnsi(std::string_view utf8) {
  const WideString wide = WidePath(std::string(utf8));
  if (wide.empty()) return true;
  BOOL replaced = FALSE;
  const int size =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0, nullptr, &replaced);
  return size > 0 && !replaced;
}

std::string NamedFileBeyondAnsi(const std::string& header) {
  CHeaderFile parsed;
  try {
    if (parsed.Load(Utf8ToAnsiText(header)) != HEADER_INVALID || !parsed.m_Utf8) return {};
  } catch (...) {
    return {};
  }
  const auto common = parsed.m_Sections.find("common infos");
  if (common == parsed.m_Sections.end()) return {};
  for (const char* key : {"datafile", "markerfile"}) {
    const auto value = common->second.find(key);
    // A value that is no valid UTF-8 is taken as ANSI bytes and always fits.
    if (value == common->second.end() || DecodeUtf8Path(value->second) == value->second || FitsAnsi(value->second))
      continue;
    const std::string& name = value->second;
    // A bare file name lies beside the header.
    const bool bare = GetDrive(name).empty() && GetDirectory(name).empty();
    return bare ? std::filesystem::path(header).replace_filename(name).string() : name;
  }
  return {};
}

std::string BeyondAnsiText(const std::string& name) {
  return name + ": the name has characters that the ANSI code page (Windows-1252) cannot hold";
}
