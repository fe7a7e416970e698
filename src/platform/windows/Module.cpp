// Modules on the Windows build.
#include "platform/Module.h"

HMODULE ModuleOfAddress(const void* address) {
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExA(flags, static_cast<const char*>(address), &module)) return nullptr;
  return module;
}

std::string ModuleFileOfAddress(const void* address) {
  HMODULE module = ModuleOfAddress(address);
  char path[MAX_PATH * 4];
  const DWORD length = module ? GetModuleFileNameA(module, path, sizeof path) : 0;
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}
