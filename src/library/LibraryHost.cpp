#include "library/LibraryHost.h"

#include <cstdio>
#include <filesystem>

#include "contract/ReaderIdentity.h"
#include "contract/ResultCodes.h"
#include "gdr/Recording.h"
#include "host/HostClasses.h"
#include "platform/CodePages.h"
#include "platform/ComRuntime.h"
#include "platform/Conversions.h"
#include "platform/Exceptions.h"
#include "platform/Module.h"

namespace gdr::library {

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

// The component's module beside this library, loaded once for the life of the process (reader
// objects may outlive any object of the library).
struct ReaderModule {
  bool present = false;  // when it is not, the class is looked up in the registry
  GetClassObjectFunction entry = nullptr;
};

const ReaderModule& ModuleBesideLibrary() {
  static const ReaderModule module = [] {
    const std::filesystem::path library = ModuleFileOfAddress(reinterpret_cast<const void*>(&ModuleBesideLibrary));
    const std::filesystem::path path = library.parent_path() / (std::string("TSKGenericDataReader") + kModuleExtension);
    std::error_code error;
    if (library.empty() || !std::filesystem::exists(path, error)) return ReaderModule();
    const HMODULE loaded = LoadLibraryA(path.string().c_str());
    return ReaderModule{true, loaded ? GetProcAddressAs<GetClassObjectFunction>(loaded, "DllGetClassObject") : nullptr};
  }();
  return module;
}

// OLE and the host's classes, on each thread that calls the library, until the thread ends.
void PrepareThread() {
  try {
    thread_local const HostClasses classes;
  } catch (const COleException& e) {
    throw Error(e.m_sc, "cannot start the host on this thread: " + HexCode(e.m_sc));
  }
}

}  // namespace

Call::Call(std::string_view subject)
    : m_Subject(subject.empty() ? std::string() : Utf8ToAnsiText(subject) + ":"),
      m_Sink([this](const std::string& text) { m_Messages.push_back(text); }) {
  PrepareThread();
}

void Call::Fail(HRESULT code, const std::string& text) const {
  if (m_Messages.empty()) throw Error(code, text);
  std::string messages, shown;
  for (std::string_view message : m_Messages) {
    shown += (shown.empty() ? "" : "\n") + AnsiToUtf8(message);
    if (!m_Subject.empty() && message.starts_with(m_Subject)) message.remove_prefix(m_Subject.size());
    messages += (messages.empty() ? "" : "\n") + AnsiToUtf8(message);
  }
  throw Error(code, messages, shown, text);
}

void Call::Check(HRESULT code, const char* step) const {
  if (FAILED(code)) Fail(code, std::string(step) + " failed: " + HexCode(code));
}

void Refuse(const std::string& text) { throw Error(kInvalidArgument, text); }

void NewReader(const Call& call, REFIID iid, void** reader) {
  ComPtr<IClassFactory> factory;
  const ReaderModule& module = ModuleBesideLibrary();
  HRESULT result = CO_E_DLLNOTFOUND;  // there, but not loadable
  if (module.entry)
    result = module.entry(CLSID_GenericDataReader, IidOf<IClassFactory>(), factory.ReceiveVoid());
  else if (!module.present)
    result = CoGetClassObject(CLSID_GenericDataReader, CLSCTX_INPROC_SERVER, nullptr, IidOf<IClassFactory>(),
                              factory.ReceiveVoid());
  if (SUCCEEDED(result)) result = factory->CreateInstance(nullptr, iid, reader);
  if (FAILED(result)) call.Fail(result, "cannot create the reader object: " + HexCode(result));
}

}  // namespace gdr::library
