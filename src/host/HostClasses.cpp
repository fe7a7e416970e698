#include "host/HostClasses.h"

#include "host/HostData.h"
#include "host/HostToolbox.h"
#include "platform/ComRuntime.h"
#include "platform/Exceptions.h"

namespace {

template <typename Object>
class Factory final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<IUnknown> made = MakeCom<IUnknown, Object>();
    return made ? made->QueryInterface(iid, object) : E_OUTOFMEMORY;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

template <typename Object>
DWORD Register(REFCLSID clsid) {
  DWORD cookie = 0;
  ComPtr<IClassFactory> factory = MakeCom<IClassFactory, Factory<Object>>();
  ThrowIfFailed(CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
  return cookie;
}

}  // namespace

HostClasses::HostClasses() {
  ThrowIfFailed(m_Ole.Result());
  m_ToolboxCookie = Register<CHostToolbox>(CLSID_HostToolbox);
  m_DataCookie = Register<CHostData>(CLSID_HostData);
}

HostClasses::~HostClasses() {
  CoRevokeClassObject(m_DataCookie);
  CoRevokeClassObject(m_ToolboxCookie);
}
