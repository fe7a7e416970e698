#pragma once
// The reusable implementation of IUnknown: a reference count and a QueryInterface table made from
// the list of implemented interfaces. Objects start with a count of 0 and are made with MakeCom,
// which hands out the first reference.
#include <atomic>
#include <tuple>
#include <utility>

#include "platform/ComPtr.h"

template <typename... Interfaces>
class ComObject : public Interfaces... {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IidOf<IUnknown>()) {
      *object = Identity();
    } else {
      ((iid == IidOf<Interfaces>() ? (*object = static_cast<Interfaces*>(this), true) : false) || ...);
    }
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_RefCount; }
  ULONG Release() override {
    const ULONG count = --m_RefCount;
    if (count == 0) delete this;
    return count;
  }

 protected:
  virtual ~ComObject() = default;
  ULONG RefCount() const { return m_RefCount; }

 private:
  // The one IUnknown pointer of the object: that of its first interface.
  IUnknown* Identity() {
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    return static_cast<First*>(this);
  }
  std::atomic<ULONG> m_RefCount{0};
};

// Makes an object and answers its first reference through the given interface; null when the object
// does not implement it (the object is then gone again).
template <typename Interface, typename Object, typename... Args>
ComPtr<Interface> MakeCom(Args&&... args) {
  Object* object = new Object(std::forward<Args>(args)...);
  object->AddRef();
  ComPtr<Interface> result;
  object->QueryInterface(IidOf<Interface>(), result.ReceiveVoid());
  object->Release();
  return result;
}
