#pragma once
// Code page conversions with the semantics of the Windows functions of the same names, for the two
// code pages the component uses: UTF-8 and the system ANSI code page (Windows-1252 here).
#include "platform/WinTypes.h"

// The Windows build has them from <windows.h>.
#if !defined(_WIN32)

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;  // this platform maps no character to a look-alike

// The system ANSI code page of this platform.
UINT GetACP();

// Converts `byteCount` bytes (-1: up to and including the terminating 0) to UTF-16. With `wideCount` 0
// only the needed size is returned. Returns the number of code units written, 0 on failure (an
// unknown code page, bad arguments, a buffer too small, or invalid UTF-8 with MB_ERR_INVALID_CHARS).
// Without that flag, every ill-formed UTF-8 subsequence becomes U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* bytes, int byteCount, WCHAR* wide, int wideCount);

// Converts UTF-16 to bytes. For the ANSI code page a character that it lacks becomes `defaultChar`
// ("?" when null) and `usedDefaultChar` is set; for UTF-8 both must be null and unpaired surrogates
// become U+FFFD. Returns the number of bytes written (or needed when `byteCount` is 0), 0 on failure.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, char* bytes, int byteCount,
                        const char* defaultChar, BOOL* usedDefaultChar);
#endif
