#include "platform/ErrorText.h"

std::optional<std::string> SystemMessageText(HRESULT code) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, DWORD(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0) return std::nullopt;
  std::string message(text, length);
  LocalFree(text);
  return message;
}
