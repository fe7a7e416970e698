#pragma once
// The Windows base types that the component's code is written against. A Windows build takes them
// from the system headers instead; everything here keeps the Windows names and sizes.
#include <cstdint>
#include <string>

#if defined(_WIN32)
// The Windows build takes the types, OLESTR and the platform functions from the system headers.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// (after windows.h, which it needs)
#include <objbase.h>
// The host's registration service has operations of these names; the window class functions that
// the system's headers name so are never used here.
#undef RegisterClass
#undef UnregisterClass

#else
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using HRESULT = std::int32_t;
using BOOL = int;
// UTF-16 code unit: wchar_t is 32 bits wide on this platform, so wide text is char16_t.
using WCHAR = char16_t;
// A wide string literal, as the Windows headers' OLESTR gives it.
#define OLESTR(text) u##text

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
#endif

// Wide (UTF-16) strings of the component.
using WideString = std::basic_string<WCHAR>;
using WideStringView = std::basic_string_view<WCHAR>;
