#pragma once
// IUnknown and IClassFactory, and the way the code names an interface's identifier.
#include "platform/Guid.h"
#include "platform/WinError.h"

// The identifier of an interface type, as the Windows compilers' __uuidof gives it.
template <typename Interface>
struct InterfaceId;

#define GDR_INTERFACE_ID(Interface, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7)  \
  template <>                                                                    \
  struct InterfaceId<Interface> {                                                \
    static constexpr IID value = {d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}}; \
  };

template <typename Interface>
constexpr const IID& IidOf() {
  return InterfaceId<Interface>::value;
}

#if defined(_WIN32)
// IUnknown and IClassFactory come from the system headers.
#include <unknwn.h>
#else
// COM objects are destroyed by their own Release, never through an interface pointer, so the
// interfaces have no virtual destructor: their tables hold exactly the operations, in order.
class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};
#endif

GDR_INTERFACE_ID(IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
GDR_INTERFACE_ID(IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
