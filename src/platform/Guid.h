#pragma once
// 128-bit class and interface identifiers, with their text form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#include <optional>
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

#if defined(_WIN32)
// GUID, CLSID, IID, their references and GUID_NULL come from the system headers.
#include <cguid.h>
#else
struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];

  friend bool operator==(const GUID&, const GUID&) = default;
};

using CLSID = GUID;
using IID = GUID;
using REFGUID = const GUID&;
using REFCLSID = const GUID&;
using REFIID = const GUID&;

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
#endif

// Upper-case hexadecimal, with braces.
std::string GuidToString(REFGUID guid);
// Accepts the braced form in either case; nothing for any other text.
std::optional<GUID> StringToGuid(std::string_view text);
// Bytes in the order the compound-file format stores them (the first three fields little-endian).
void GuidToBytes(REFGUID guid, std::uint8_t bytes[16]);
GUID GuidFromBytes(const std::uint8_t bytes[16]);
