#include "platform/Exceptions.h"

#include <cstring>

std::string CFileException::Describe() const {
  std::string text = m_cause == cannotOpen ? "cannot open \"" : "cannot read \"";
  text += m_strFileName + "\"";
  if (m_osError != 0) text += std::string(": ") + std::strerror(m_osError);
  return text;
}
