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
    *object = iid == IidOf<IUnknown>() ? Identity() : FindInterface(iid);
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

  // The table of implemented interfaces; an object made of parts adds its parts here.
  virtual void* FindInterface(REFIID iid) {
    void* found = nullptr;
    (void)((iid == IidOf<Interfaces>() ? (found = static_cast<Interfaces*>(this), true) : false) || ...);
    return found;
  }

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

// One interface of an object that is made of parts (where two interfaces have operations of the same
// name and signature, each needs an implementation of its own). The part shares the identity and the
// reference count of the object that owns it.
template <typename Interface>
class ComPart : public Interface {
 public:
  using PartInterface = Interface;
  explicit ComPart(IUnknown& owner) : m_Owner(owner) {}
  ComPart(const ComPart&) = delete;
  ComPart& operator=(const ComPart&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) final { return m_Owner.QueryInterface(iid, object); }
  ULONG AddRef() final { return m_Owner.AddRef(); }
  ULONG Release() final { return m_Owner.Release(); }

 protected:
  ~ComPart() = default;

 private:
  IUnknown& m_Owner;
};

// An object that can be part of an aggregate: its interfaces' IUnknown operations go to the outer
// object when there is one, and its own (non-delegating) IUnknown, Inner(), keeps the count and
// answers the interface table. Without an outer object the two are the same.
template <typename... Interfaces>
class ComAggregatable : public Interfaces... {
 public:
  explicit ComAggregatable(IUnknown* outer) : m_Inner(*this), m_Outer(outer ? outer : &m_Inner) {}
  ComAggregatable(const ComAggregatable&) = delete;
  ComAggregatable& operator=(const ComAggregatable&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override { return m_Outer->QueryInterface(iid, object); }
  ULONG AddRef() override { return m_Outer->AddRef(); }
  ULONG Release() override { return m_Outer->Release(); }

  IUnknown* Inner() { return &m_Inner; }

 protected:
  virtual ~ComAggregatable() = default;

 private:
  class InnerUnknown final : public IUnknown {
   public:
    explicit InnerUnknown(ComAggregatable& owner) : m_Owner(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
      if (!object) return E_POINTER;
      *object = nullptr;
      if (iid == IidOf<IUnknown>()) {
        *object = static_cast<IUnknown*>(this);
      } else {
        (void)((iid == IidOf<Interfaces>() ? (*object = static_cast<Interfaces*>(&m_Owner), true) : false) || ...);
      }
      if (!*object) return E_NOINTERFACE;
      static_cast<IUnknown*>(*object)->AddRef();
      return S_OK;
    }
    ULONG AddRef() override { return ++m_Count; }
    ULONG Release() override {
      const ULONG count = --m_Count;
      if (count == 0) delete &m_Owner;
      return count;
    }

   private:
    ComAggregatable& m_Owner;
    std::atomic<ULONG> m_Count{0};
  };

  InnerUnknown m_Inner;
  IUnknown* m_Outer;
};

// Makes an aggregatable object for `outer` (null for none) and asks its own IUnknown for `iid`; the
// object is gone again when it has no such interface.
template <typename Object>
HRESULT CreateAggregated(IUnknown* outer, REFIID iid, void** object) {
  IUnknown* inner = (new Object(outer))->Inner();
  inner->AddRef();
  const HRESULT result = inner->QueryInterface(iid, object);
  inner->Release();
  return result;
}

// The interface that one of the parts implements, for an object's FindInterface; null for none.
template <typename... Parts>
void* FindPart(REFIID iid, Parts&... parts) {
  void* found = nullptr;
  (void)((iid == IidOf<typename Parts::PartInterface>()
              ? (found = static_cast<typename Parts::PartInterface*>(&parts), true)
              : false) ||
         ...);
  return found;
}
