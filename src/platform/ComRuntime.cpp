#include "platform/ComRuntime.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "platform/ComPtr.h"
#include "platform/Memory.h"
#include "platform/Module.h"
#include "platform/Registry.h"

// Blocks larger than the first-level cache start on a cache line, so that rows of whole lines stay
// whole: a vectorized window decoded into a block 16 bytes off a line took half as long again.
// Smaller ones come from the allocator's quicker path.
void* CoTaskMemAlloc(std::size_t size) {
  constexpr std::size_t kLine = 64, kLarge = 64 * 1024;
  void* memory = nullptr;
  if (size < kLarge)
    memory = std::malloc(size == 0 ? 1 : size);
  else if (size <= SIZE_MAX - kLine)
    memory = std::aligned_alloc(kLine, (size + kLine - 1) / kLine * kLine);
  AdviseLargeBuffer(memory, size);
  return memory;
}
void* CoTaskMemRealloc(void* memory, std::size_t size) {
  memory = std::realloc(memory, size == 0 ? 1 : size);
  AdviseLargeBuffer(memory, size);
  return memory;
}
void CoTaskMemFree(void* memory) { std::free(memory); }

namespace {

thread_local int g_OleInitializeCount = 0;

struct RegisteredClass {
  CLSID clsid;
  ComPtr<IUnknown> factory;
  DWORD context;
};

// The class table, and the modules loaded for registry entries (kept for the process's life).
struct ClassTable {
  std::mutex lock;
  std::map<DWORD, RegisteredClass> classes;
  DWORD nextCookie = 1;
  std::map<std::string, HMODULE> modules;
};

ClassTable& Table() {
  static ClassTable table;
  return table;
}

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

// The module registered for the class, asked for its class object.
HRESULT GetRegisteredClassObject(REFCLSID clsid, REFIID iid, void** object) {
  const std::string key = "CLSID\\" + GuidToString(clsid) + "\\InprocServer32";
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return REGDB_E_CLASSNOTREG;
  char path[4096];
  DWORD size = sizeof path;
  const LONG found = RegQueryValueExA(opened, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(opened);
  if (found != ERROR_SUCCESS) return REGDB_E_CLASSNOTREG;
  // A relative path would be searched for, or resolved against the current folder.
  if (path[0] != '/') return CO_E_DLLNOTFOUND;

  ClassTable& table = Table();
  HMODULE module;
  {
    std::lock_guard guard(table.lock);
    HMODULE& loaded = table.modules[path];
    if (!loaded) loaded = LoadLibraryA(path);
    module = loaded;
  }
  if (!module) return CO_E_DLLNOTFOUND;
  auto getClassObject = GetProcAddressAs<GetClassObjectFunction>(module, "DllGetClassObject");
  if (!getClassObject) return CO_E_ERRORINDLL;
  return getClassObject(clsid, iid, object);
}

}  // namespace

HRESULT OleInitialize(void* /*reserved*/) { return g_OleInitializeCount++ == 0 ? S_OK : S_FALSE; }

void OleUninitialize() {
  if (g_OleInitializeCount > 0) --g_OleInitializeCount;
}

int OleInitializeCount() { return g_OleInitializeCount; }

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD /*flags*/, DWORD* cookie) {
  if (g_OleInitializeCount == 0) return CO_E_NOTINITIALIZED;
  if (!factory || !cookie) return E_INVALIDARG;
  ClassTable& table = Table();
  std::lock_guard guard(table.lock);
  *cookie = table.nextCookie++;
  table.classes[*cookie] = {clsid, ComPtr<IUnknown>::Share(factory), context};
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  ComPtr<IUnknown> factory;  // released outside the lock
  ClassTable& table = Table();
  std::lock_guard guard(table.lock);
  const auto found = table.classes.find(cookie);
  if (found == table.classes.end()) return E_INVALIDARG;
  factory = std::move(found->second.factory);
  table.classes.erase(found);
  return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* /*serverInfo*/, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (g_OleInitializeCount == 0) return CO_E_NOTINITIALIZED;
  ComPtr<IUnknown> factory;
  {
    ClassTable& table = Table();
    std::lock_guard guard(table.lock);
    // The earliest registration of the class wins, as with the system's COM.
    for (const auto& [cookie, entry] : table.classes) {
      if (entry.clsid == clsid && (entry.context & context)) {
        factory = entry.factory;
        break;
      }
    }
  }
  if (factory) return factory->QueryInterface(iid, object);
  if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  return GetRegisteredClassObject(clsid, iid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<IClassFactory> factory;
  const HRESULT found = CoGetClassObject(clsid, context, nullptr, IidOf<IClassFactory>(), factory.ReceiveVoid());
  if (FAILED(found)) return found;
  return factory->CreateInstance(outer, iid, object);
}
