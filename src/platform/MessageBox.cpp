#include "platform/MessageBox.h"

#include <cstdio>

int MessageBoxA(HWND, const char* text, const char* caption, UINT) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
  return IDOK;
}
