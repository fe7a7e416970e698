#include "platform/DebugLogFile.h"

#include <cstdio>

void AppendToTextFile(const char* path, std::string_view text) {
  // "a+t" on Windows; this platform has no text mode.
  std::FILE* file = std::fopen(path, "a+");
  if (!file) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}
