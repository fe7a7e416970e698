#include "ReaderModule.h"

#include <filesystem>

#include "Text.h"
#include "component/ReaderIdentity.h"
#include "host/HostToolbox.h"
#include "platform/ComRuntime.h"
#include "platform/Exceptions.h"

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
using RegisterFunction = HRESULT (*)();

std::string ModuleBesideExecutable() {
  char path[4096];
  if (GetModuleFileNameA(nullptr, path, sizeof path) == 0) return {};
  return (std::filesystem::path(path).parent_path() / (std::string("TSKGenericDataReader") + kModuleExtension))
      .string();
}

}  // namespace

ReaderModule::ReaderModule() {
  OleInitialize(nullptr);
  // The component's messages, one line each, in UTF-8 with their controls escaped.
  SetHostMessageSink(
      [](const std::string& text) { std::fprintf(stderr, "%s\n", EscapeControls(AnsiToUtf8(text)).c_str()); });
}

ReaderModule::~ReaderModule() {
  m_Factory.Reset();
  SetHostMessageSink(nullptr);
  OleUninitialize();
}

HMODULE ReaderModule::LocalModule() {
  if (!m_Module) {
    const std::string path = ModuleBesideExecutable();
    if (std::filesystem::exists(path)) m_Module = LoadLibraryA(path.c_str());
  }
  return m_Module;
}

void ReaderModule::Check(HRESULT result) {
  if (FAILED(result)) AfxThrowOleException(result);
}

ComPtr<IClassFactory> ReaderModule::Factory() {
  if (m_Factory) return m_Factory;
  if (HMODULE module = LocalModule()) {
    auto getClassObject = GetProcAddressAs<GetClassObjectFunction>(module, "DllGetClassObject");
    if (!getClassObject) AfxThrowOleException(CO_E_ERRORINDLL);
    Check(getClassObject(CLSID_GenericDataReader, IidOf<IClassFactory>(), m_Factory.ReceiveVoid()));
  } else {
    Check(CoGetClassObject(CLSID_GenericDataReader, CLSCTX_INPROC_SERVER, nullptr, IidOf<IClassFactory>(),
                           m_Factory.ReceiveVoid()));
  }
  return m_Factory;
}

HRESULT ReaderModule::CallRegistration(const char* name) {
  HMODULE module = LocalModule();
  auto function = module ? GetProcAddressAs<RegisterFunction>(module, name) : nullptr;
  return function ? function() : CO_E_DLLNOTFOUND;
}
