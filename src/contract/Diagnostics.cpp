#include "contract/Diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "contract/HostInterfaces.h"
#include "platform/Conversions.h"
#include "platform/ComPtr.h"
#include "platform/ComRuntime.h"
#include "platform/DebugLogFile.h"
#include "platform/MessageBox.h"

void DisplayError(const std::string& text) noexcept {
  try {
    ComPtr<IHostMessages> messages;
    if (SUCCEEDED(CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_INPROC_SERVER, IidOf<IHostMessages>(),
                                   messages.ReceiveVoid()))) {
      messages->ShowMessage(text.c_str());
      return;
    }
  } catch (...) {
    // Nothing better can be shown than the message box below.
  }
  MessageBoxA(nullptr, "Sylvex Toolbox is not correct installed", "Error", MB_ICONSTOP | MB_OK);
}

void WriteDebugLog(const char* format, ...) noexcept {
  char message[1024];
  va_list values;
  va_start(values, format);
  std::vsnprintf(message, sizeof message, format, values);
  va_end(values);
  char line[1024 + 32];
  const int length = std::snprintf(line, sizeof line, "GenericDataReader > %s", message);
  if (length > 0) AppendToDebugLog(std::string_view(line, std::size_t(length)));
}

HRESULT ResultOfCurrentException() noexcept {
  try {
    throw;
  } catch (const COleException& e) {
    return e.m_sc == GDR_E_OLE_STATUS ? GDR_S_OLE_STATUS : e.m_sc;
  } catch (const CMemoryException&) {
    return E_OUTOFMEMORY;
  } catch (const CFileException&) {
    return GDR_E_FILE;
  } catch (const CException&) {
    return E_UNEXPECTED;
  } catch (const _com_error& e) {
    try {
      DisplayError(e.Description().empty() ? e.ErrorMessage() : WideToAnsi(e.Description()));
    } catch (...) {
      // A message that cannot even be built is not shown; the result stays.
    }
    return GDR_E_SHOWN;
  } catch (const std::ios_base::failure&) {
    return GDR_E_FILE;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    DisplayError(e.what());
    return GDR_E_SHOWN;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
