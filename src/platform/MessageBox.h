#pragma once
// The message box of the last resort. This platform has no desktop to show it on: it writes the
// caption and the text as one line to stderr ("Error: text") and answers IDOK.
#include "platform/WinTypes.h"

// The Windows build shows the system's message box.
#if !defined(_WIN32)
struct HWND__;
using HWND = HWND__*;

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr int IDOK = 1;

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
#endif
