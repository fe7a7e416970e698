#pragma once
// A small registry with the Windows registry's functions, for the keys that COM activation and the
// host's registration use. It lives in one text file: $GDR_REGISTRY when set, else
// $XDG_CONFIG_HOME/generic-data-reader/registry (or ~/.config/...); without either there is none.
// It is read only when it and its folder belong to the user and no one else can write them. Each key
// is a line "[path]", followed by its values as "name=data" ("@" names the default value). Only
// string values exist.
#include <string>

#include "platform/WinTypes.h"

// The Windows build has the system's registry.
#if !defined(_WIN32)
struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t(0x80000000));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t(0x80000001));

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr DWORD REG_SZ = 1;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                     void* security, HKEY* result, DWORD* disposition);
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// `data` receives the text with its terminating 0; `size` is the buffer's size in and the text's out.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
// Deletes the subkey with everything below it.
LONG RegDeleteTreeA(HKEY key, const char* subKey);
LONG RegCloseKey(HKEY key);

// The registry file in use; empty when there is none.
std::string RegistryFilePath();
#endif
