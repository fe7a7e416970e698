#pragma once
// Loadable modules, with the Windows names: a module is a shared object loaded with dlopen.
#include <string>

#include "platform/WinTypes.h"

#if !defined(_WIN32)
struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

// Null when the module cannot be loaded.
HMODULE LoadLibraryA(const char* path);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
#endif

// The file name extension of a loadable module.
#if defined(_WIN32)
inline constexpr const char* kModuleExtension = ".dll";
#else
inline constexpr const char* kModuleExtension = ".so";
#endif

// A function that a module exports: C linkage, visible outside the module (the Windows build lists
// its exports in a module definition file instead).
#if defined(_WIN32)
#define MODULE_EXPORT extern "C"
#else
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The module that holds the given address (the Windows way is the instance handle of DllMain).
HMODULE ModuleOfAddress(const void* address);
// The file of the module (shared library, executable) that holds the given address; empty when it
// cannot be told.
std::string ModuleFileOfAddress(const void* address);
#if !defined(_WIN32)
// The path of a loaded module, or of the executable for null; 0 when it cannot be told.
DWORD GetModuleFileNameA(HMODULE module, char* path, DWORD size);
#endif

// The exported function `name` of the module as a pointer of its own type; null when it is missing.
template <typename Function>
Function GetProcAddressAs(HMODULE module, const char* name) {
  // Function pointers convert to one another only through a pointer without parameters.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
