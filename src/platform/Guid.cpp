#include "platform/Guid.h"

#include <cstdio>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string GuidToString(REFGUID guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(guid.Data1),
                unsigned(guid.Data2), unsigned(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::optional<GUID> StringToGuid(std::string_view text) {
  static constexpr std::string_view kPattern = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != kPattern.size()) return std::nullopt;
  std::uint8_t bytes[16] = {};  // in text order
  int nibble = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (kPattern[i] != 'X') {
      if (text[i] != kPattern[i]) return std::nullopt;
      continue;
    }
    const int value = HexValue(text[i]);
    if (value < 0) return std::nullopt;
    bytes[nibble / 2] = std::uint8_t(bytes[nibble / 2] << 4 | value);
    ++nibble;
  }
  GUID guid{};
  guid.Data1 = std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
  guid.Data2 = std::uint16_t(bytes[4] << 8 | bytes[5]);
  guid.Data3 = std::uint16_t(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  return guid;
}

void GuidToBytes(REFGUID guid, std::uint8_t bytes[16]) {
  for (int i = 0; i < 4; ++i) bytes[i] = std::uint8_t(guid.Data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[4 + i] = std::uint8_t(guid.Data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[6 + i] = std::uint8_t(guid.Data3 >> (8 * i));
  for (int i = 0; i < 8; ++i) bytes[8 + i] = guid.Data4[i];
}

GUID GuidFromBytes(const std::uint8_t bytes[16]) {
  GUID guid{};
  for (int i = 0; i < 4; ++i) guid.Data1 |= std::uint32_t(bytes[i]) << (8 * i);
  guid.Data2 = std::uint16_t(bytes[4] | bytes[5] << 8);
  guid.Data3 = std::uint16_t(bytes[6] | bytes[7] << 8);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  return guid;
}
