#pragma once
// Loadable modules, with the Windows names: a module is a shared object loaded with dlopen.
#include "platform/WinTypes.h"

struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

// Null when the module cannot be loaded.
HMODULE LoadLibraryA(const char* path);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
// The module that holds the given address (the Windows way is the instance handle of DllMain).
HMODULE ModuleOfAddress(const void* address);
// The path of a loaded module, or of the executable for null; 0 when it cannot be told.
DWORD GetModuleFileNameA(HMODULE module, char* path, DWORD size);
