#pragma once
// An owning interface pointer: releases its reference when it goes.
#include <utility>

#include "platform/Unknown.h"

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference that the caller already holds.
  static ComPtr Attach(Interface* pointer) {
    ComPtr owned;
    owned.m_Pointer = pointer;
    return owned;
  }
  // Adds a reference of its own.
  static ComPtr Share(Interface* pointer) {
    if (pointer) pointer->AddRef();
    return Attach(pointer);
  }
  ComPtr(const ComPtr& other) : m_Pointer(other.m_Pointer) {
    if (m_Pointer) m_Pointer->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : m_Pointer(std::exchange(other.m_Pointer, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(m_Pointer, other.m_Pointer);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (m_Pointer) std::exchange(m_Pointer, nullptr)->Release();
  }
  Interface* Get() const { return m_Pointer; }
  Interface* operator->() const { return m_Pointer; }
  Interface& operator*() const { return *m_Pointer; }
  explicit operator bool() const { return m_Pointer != nullptr; }
  // Hands the reference to the caller.
  Interface* Detach() { return std::exchange(m_Pointer, nullptr); }
  // The address that an operation with an out pointer fills; releases what was held before.
  Interface** Receive() {
    Reset();
    return &m_Pointer;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  template <typename Other>
  HRESULT As(ComPtr<Other>& other) const {
    return m_Pointer ? m_Pointer->QueryInterface(IidOf<Other>(), other.ReceiveVoid()) : E_POINTER;
  }

 private:
  Interface* m_Pointer = nullptr;
};
