#include "platform/DebugLogFile.h"

#include <cstdio>

void AppendToTextFile(const char* path, std::string_view text) {
#if defined(_WIN32)
  std::FILE* file = std::fopen(path, "a+t");  // text mode: line ends become CR LF
#else
  std::FILE* file = std::fopen(path, "a+");  // this platform has no text mode
#endif
  if (!file) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}
