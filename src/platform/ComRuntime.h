#pragma once
// The COM runtime of this platform: the task allocator, OLE initialisation, and object activation
// through a class table in the process, with the registry and module loading behind it.
#include <cstddef>
#include <memory>

#include "platform/Unknown.h"

#if !defined(_WIN32)
// Class contexts.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

constexpr DWORD REGCLS_MULTIPLEUSE = 1;

// The task allocator: memory handed across the COM boundary. Null on failure; freeing null is allowed.
void* CoTaskMemAlloc(std::size_t size);
void* CoTaskMemRealloc(void* memory, std::size_t size);
void CoTaskMemFree(void* memory);
#endif

// Task-allocated memory owned until it goes.
struct CoTaskMemDeleter {
  void operator()(void* memory) const { CoTaskMemFree(memory); }
};
template <typename T>
using TaskMemory = std::unique_ptr<T, CoTaskMemDeleter>;

#if !defined(_WIN32)
// A count per thread: S_OK for the first call on a thread, S_FALSE for further ones.
HRESULT OleInitialize(void* reserved);
void OleUninitialize();
// How often OleInitialize has been called on this thread without OleUninitialize.
int OleInitializeCount();

// The process's class table: a class registered here is found before any registry entry. Like
// activation, registering needs OLE initialised on the thread (CO_E_NOTINITIALIZED otherwise).
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

// Finds the class factory: in the class table, else through the registry entry
// "CLSID\{...}\InprocServer32" of HKEY_CLASSES_ROOT, whose module is loaded and asked through its
// DllGetClassObject. REGDB_E_CLASSNOTREG when the class is nowhere.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid, void** object);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
#endif

// OLE initialised on the thread for the object's life, as a host does when it starts.
class OleSession {
 public:
  OleSession() : m_Result(OleInitialize(nullptr)) {}
  ~OleSession() {
    if (SUCCEEDED(m_Result)) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  HRESULT Result() const { return m_Result; }

 private:
  HRESULT m_Result;
};
