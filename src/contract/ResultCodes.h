#pragma once
// Result codes of the reader component (the platform's standard codes are in platform/WinError.h).
#include <string>

#include "platform/WinError.h"

// Not a file of this format.
constexpr HRESULT GDR_S_NOT_THIS_FORMAT = MakeResult(0x00041001);
// An operation ended by an OLE exception that carried GDR_E_OLE_STATUS.
constexpr HRESULT GDR_S_OLE_STATUS = MakeResult(0x00041000);
constexpr HRESULT GDR_E_OLE_STATUS = MakeResult(0x80041010);
// The data file cannot be opened.
constexpr HRESULT GDR_E_DATA_FILE = MakeResult(0x80041001);
// Failed; the user has already been shown a message.
constexpr HRESULT GDR_E_SHOWN = MakeResult(0x80041003);
// A file or stream error.
constexpr HRESULT GDR_E_FILE = MakeResult(0x8004100E);

// The text of a result code for a person: the component's own codes from its table, the others as the
// platform's message table gives them (one line, without placeholders); "unknown result code" else.
std::string ResultCodeText(HRESULT code);
// A result code as 0x and 8 upper-case hex digits, its text after it in parentheses.
std::string HexCode(HRESULT code);
