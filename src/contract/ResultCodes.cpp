#include "contract/ResultCodes.h"

#include <cstdio>
#include <utility>

#include "platform/ErrorText.h"

std::string ResultCodeText(HRESULT code) {
  static const std::pair<HRESULT, const char*> kOwn[] = {
      {GDR_S_NOT_THIS_FORMAT, "Not a header file of this format."},
      {GDR_S_OLE_STATUS, "An OLE operation ended with a status."},
      {GDR_E_OLE_STATUS, "An OLE operation failed."},
      {GDR_E_DATA_FILE, "The data file cannot be opened."},
      {GDR_E_SHOWN, "The reader failed; its message says why."},
      {GDR_E_FILE, "A file cannot be read or written."},
  };
  for (const auto& [known, text] : kOwn)
    if (known == code) return text;
  std::string text = SystemMessageText(code).value_or("unknown result code");
  // One line, and a name the message table would insert ("%1 could not be found.") left out.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  for (std::size_t at; (at = text.find("%1")) != std::string::npos;)
    text.erase(at, text.compare(at, 3, "%1 ") == 0 ? 3 : 2);
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
  return text;
}

std::string HexCode(HRESULT code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(code));
  return text + (" (" + ResultCodeText(code) + ")");
}
