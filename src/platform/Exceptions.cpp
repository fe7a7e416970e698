#include "platform/Exceptions.h"

#include <cstdio>
#include <cstring>

#include "platform/ErrorText.h"

std::string CFileException::Describe() const {
  std::string text = m_cause == cannotOpen ? "cannot open \"" : "cannot read \"";
  text += m_strFileName + "\"";
  if (m_osError != 0) text += std::string(": ") + std::strerror(m_osError);
  return text;
}

std::string COleException::Describe() const {
  char text[32];
  std::snprintf(text, sizeof text, "OLE error 0x%08X", unsigned(m_sc));
  return text;
}

void AfxThrowOleException(HRESULT status) { throw COleException(status); }

HRESULT ThrowIfFailed(HRESULT result) {
  if (FAILED(result)) AfxThrowOleException(result);
  return result;
}

std::string _com_error::ErrorMessage() const {
  if (std::optional<std::string> text = SystemMessageText(m_Code)) {
    if (!text->empty() && text->back() == '\n') text->pop_back();
    if (!text->empty() && text->back() == '\r') text->pop_back();
    return *text;
  }
  char text[64];
  const auto code = std::uint32_t(m_Code);
  if (code >= 0x80040201u && code <= 0x8004FFFFu)
    std::snprintf(text, sizeof text, "IDispatch error #%d", int(code & 0xFFFF) - 0x200);
  else
    std::snprintf(text, sizeof text, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  return text;
}
