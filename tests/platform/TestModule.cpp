// A loadable module for the activation tests: serves one class whose objects are their own factory.
#include "platform/ComObject.h"

namespace {

class Factory final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override {
    return MakeCom<IUnknown, Factory>()->QueryInterface(iid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID, REFIID iid, void** object) {
  return MakeCom<IClassFactory, Factory>()->QueryInterface(iid, object);
}
