#include "ReaderModule.h"

#include <filesystem>
#include <string>

#include "Text.h"
#include "host/HostToolbox.h"
#include "platform/ComRuntime.h"

namespace {

using RegisterFunction = HRESULT (*)();

// The module beside the executable (the build tree, Windows), else in the installed library folder.
std::string ModuleOfExecutable() {
  char path[4096];
  if (GetModuleFileNameA(nullptr, path, sizeof path) == 0) return {};
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  const std::string name = std::string("TSKGenericDataReader") + kModuleExtension;
  std::error_code error;
  if (std::filesystem::exists(folder / name, error)) return (folder / name).string();
  return (folder / GDR_LIBRARY_FOLDER / name).string();
}

// The component's messages, one line each, in UTF-8 with their controls escaped.
void PrintMessage(const std::string& text) { std::fprintf(stderr, "%s\n", EscapeControls(AnsiToUtf8(text)).c_str()); }

}  // namespace

ReaderModule::ReaderModule() {
  OleInitialize(nullptr);
  SetHostMessageSink(PrintMessage);
}

ReaderModule::~ReaderModule() {
  SetHostMessageSink(nullptr);
  OleUninitialize();
}

HRESULT ReaderModule::CallRegistration(const char* name) {
  if (!m_Module) {
    const std::string path = ModuleOfExecutable();
    if (std::filesystem::exists(path)) m_Module = LoadLibraryA(path.c_str());
  }
  auto function = m_Module ? GetProcAddressAs<RegisterFunction>(m_Module, name) : nullptr;
  return function ? function() : CO_E_DLLNOTFOUND;
}
