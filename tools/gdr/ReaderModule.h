#pragma once
// The reader component as a host reaches it: the module TSKGenericDataReader.so beside this
// executable, or the one the registry names; reader objects come from its class factory. While a
// ReaderModule lives, the reference host's classes are registered and its messages go to stderr.
#include <string>

#include "contract/HostInterfaces.h"
#include "host/HostClasses.h"
#include "platform/Module.h"

class ReaderModule {
 public:
  ReaderModule();
  ~ReaderModule();

  // A new reader object, asked for the interface; failures are raised as COleException.
  template <typename Interface>
  ComPtr<Interface> NewReader() {
    ComPtr<Interface> reader;
    Check(Factory()->CreateInstance(nullptr, IidOf<Interface>(), reader.ReceiveVoid()));
    return reader;
  }
  // OpenRawFile of a header given by its UTF-8 path. gdr's own refusals come first, in `refusal`: a
  // path, or a data or marker file that the header names, with characters that the ANSI code page
  // cannot hold (then the component's "not found" is not shown), and with `confine` a data or marker
  // file outside the header's folder (then the component is not called).
  HRESULT OpenHeader(IEEGRawFileReader& reader, const std::string& header, bool confine, std::string& refusal);
  // Calls the registration export `name` ("DllRegisterServer" or "DllUnregisterServer") of the
  // module beside the executable.
  HRESULT CallRegistration(const char* name);

 private:
  ComPtr<IClassFactory> Factory();
  static void Check(HRESULT result);
  HMODULE LocalModule();

  HostClasses m_HostClasses;
  HMODULE m_Module = nullptr;
  ComPtr<IClassFactory> m_Factory;
};
