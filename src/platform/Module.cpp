#include "platform/Module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <string>

HMODULE LoadLibraryA(const char* path) { return static_cast<HMODULE>(::dlopen(path, RTLD_NOW | RTLD_LOCAL)); }

FARPROC GetProcAddress(HMODULE module, const char* name) {
  // The C and POSIX way to turn an object pointer into a function pointer.
  void* symbol = ::dlsym(module, name);
  FARPROC function = nullptr;
  static_assert(sizeof function == sizeof symbol);
  std::memcpy(&function, &symbol, sizeof function);
  return function;
}

BOOL FreeLibrary(HMODULE module) { return ::dlclose(module) == 0 ? TRUE : FALSE; }

HMODULE ModuleOfAddress(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || !info.dli_fname) return nullptr;
  // Loading an already loaded module only counts it again; the handle is the same.
  HMODULE module = static_cast<HMODULE>(::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD));
  if (module) ::dlclose(module);
  return module;
}

std::string ModuleFileOfAddress(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || !info.dli_fname) return {};
  return info.dli_fname;
}

DWORD GetModuleFileNameA(HMODULE module, char* path, DWORD size) {
  std::string name;
  if (!module) {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0) return 0;
    name.assign(buffer, std::size_t(length));
  } else {
    void* anySymbol = ::dlsym(module, "DllGetClassObject");
    Dl_info info{};
    if (!anySymbol || ::dladdr(anySymbol, &info) == 0 || !info.dli_fname) return 0;
    name = info.dli_fname;
  }
  if (size == 0) return 0;
  const std::size_t copied = std::min<std::size_t>(name.size(), size - 1);
  std::memcpy(path, name.data(), copied);
  path[copied] = '\0';
  return DWORD(copied);
}
