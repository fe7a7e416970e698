#pragma once
// The reader component's module as gdr registers it: TSKGenericDataReader beside this executable, or
// in the library folder of the installed tree.
// While a ReaderModule lives, OLE is initialised, the reference host's classes are registered (the
// registration asks them) and the component's messages go to stderr.
#include "host/HostClasses.h"
#include "platform/Module.h"

class ReaderModule {
 public:
  ReaderModule();
  ~ReaderModule();
  ReaderModule(const ReaderModule&) = delete;
  ReaderModule& operator=(const ReaderModule&) = delete;

  // Calls the registration export `name` ("DllRegisterServer" or "DllUnregisterServer") of the
  // module.
  HRESULT CallRegistration(const char* name);

 private:
  HostClasses m_HostClasses;
  HMODULE m_Module = nullptr;
};
