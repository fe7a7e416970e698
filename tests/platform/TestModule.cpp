// A loadable module for the activation tests: serves one class whose objects implement IUnknown only.
#include "platform/ComObject.h"

namespace {

class IMarker : public IUnknown {};

}  // namespace

GDR_INTERFACE_ID(IMarker, 0x99999999, 0x0000, 0x0000, 0, 0, 0, 0, 0, 0, 0, 1)

namespace {

class Plain final : public ComObject<IMarker> {};

class Factory final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override {
    return MakeCom<IUnknown, Plain>()->QueryInterface(iid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID, REFIID iid, void** object) {
  return MakeCom<IClassFactory, Factory>()->QueryInterface(iid, object);
}
