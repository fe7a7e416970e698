#include "ReaderModule.h"

#include <filesystem>
#include <string>
#include <vector>

#include "Confinement.h"
#include "Text.h"
#include "contract/ReaderIdentity.h"
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

// The component's messages, one line each, in UTF-8 with their controls escaped.
void PrintMessage(const std::string& text) { std::fprintf(stderr, "%s\n", EscapeControls(AnsiToUtf8(text)).c_str()); }

}  // namespace

ReaderModule::ReaderModule() {
  OleInitialize(nullptr);
  SetHostMessageSink(PrintMessage);
}

HRESULT ReaderModule::OpenHeader(IEEGRawFileReader& reader, const std::string& header, bool confine,
                                 std::string& refusal) {
  refusal = FitsAnsi(header) ? std::string() : BeyondAnsiText(header);
  if (refusal.empty() && confine) refusal = HeaderConfinement(header);
  if (!refusal.empty()) return E_INVALIDARG;
  // The component's messages wait until it is clear whether a name it could not find is one that the
  // ANSI code page cannot hold.
  std::vector<std::string> held;
  SetHostMessageSink([&](const std::string& text) { held.push_back(text); });
  LONG opened = 0;
  const HRESULT result = reader.OpenRawFile(Utf8ToAnsiText(header).c_str(), &opened);
  SetHostMessageSink(PrintMessage);
  if (FAILED(result))
    if (const std::string name = NamedFileBeyondAnsi(header); !name.empty()) refusal = BeyondAnsiText(name);
  if (refusal.empty())
    for (const std::string& text : held) PrintMessage(text);
  return result;
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
