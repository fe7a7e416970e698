// The module TSKGenericDataReader: its class factory, its application object, and the four exports.
#include <mutex>

#include "component/EEGFileReader.h"
#include "component/ModuleLock.h"
#include "contract/Diagnostics.h"
#include "contract/ReaderIdentity.h"
#include "platform/ComRuntime.h"

namespace {

class CReaderFactory final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer && iid != IidOf<IUnknown>()) return CLASS_E_NOAGGREGATION;
    return Guarded([&] { return CreateAggregated<CEEGFileReader>(outer, iid, object); });
  }
  HRESULT LockServer(BOOL lock) override {
    lock ? LockModule() : UnlockModule();
    return S_OK;
  }
};

// The module's application object: it keeps the class factory, made on the first request, for
// the module's life, and releases it when the module is unloaded.
class CReaderApp {
 public:
  HRESULT GetClassObject(REFIID iid, void** object) {
    std::lock_guard guard(m_Lock);
    if (!m_Factory) m_Factory = MakeCom<IClassFactory, CReaderFactory>();
    return m_Factory->QueryInterface(iid, object);
  }
  // The module's instance handle, as the host's registration wants it.
  static HINSTANCE Instance() { return ModuleOfAddress(reinterpret_cast<const void*>(&Instance)); }

 private:
  std::mutex m_Lock;
  ComPtr<IClassFactory> m_Factory;
};

CReaderApp theApp;

// The host's registration service, inside OLE initialisation for the calling thread; the caller ends
// OLE again.
HRESULT CreateRegistration(ComPtr<IHostRegistration>& registration) {
  OleInitialize(nullptr);
  return CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_INPROC_SERVER, IidOf<IHostRegistration>(),
                          registration.ReceiveVoid());
}

}  // namespace

MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_GenericDataReader) return CLASS_E_CLASSNOTAVAILABLE;
  return Guarded([&] { return theApp.GetClassObject(iid, object); });
}

MODULE_EXPORT HRESULT DllCanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

MODULE_EXPORT HRESULT DllRegisterServer() {
  ComPtr<IHostRegistration> registration;
  HRESULT result = CreateRegistration(registration);
  if (SUCCEEDED(result))
    result = registration->RegisterClass(CLSID_GenericDataReader, CReaderApp::Instance(), kReaderProgId);
  if (FAILED(result)) {
    // A failure releases the service while OLE still runs, then ends OLE.
    registration.Reset();
    OleUninitialize();
    return result;
  }
  HKEY key = nullptr;
  registration->RegisterComponent(kReaderCategoryPath, &key, CLSID_GenericDataReader, kReaderDescription);
  OleUninitialize();
  WriteDebugLog("DllRegisterServer\n");
  if (key) RegCloseKey(key);
  return S_OK;  // the service is released last
}

MODULE_EXPORT HRESULT DllUnregisterServer() {
  ComPtr<IHostRegistration> registration;
  const HRESULT result = CreateRegistration(registration);
  if (FAILED(result)) {
    OleUninitialize();
    return result;
  }
  registration->UnregisterComponent(kReaderCategoryPath, CLSID_GenericDataReader);
  registration->UnregisterClass(CLSID_GenericDataReader);
  OleUninitialize();
  WriteDebugLog("DllUnregisterServer\n");
  return S_OK;  // the service is released last
}
