#pragma once
// The library as a host of the reader component: the component's module found beside the library,
// OLE and the host's classes on every thread that calls, the component's messages collected per call.
#include <string>
#include <string_view>
#include <vector>

#include "contract/HostInterfaces.h"
#include "contract/ResultCodes.h"
#include "host/HostToolbox.h"
#include "platform/ComPtr.h"
#include "platform/Conversions.h"

namespace gdr::library {

// One call of the API on this thread: the thread is made ready for the component, and what the
// component shows meanwhile is collected for the gdr::Error that a failure raises.
class Call {
 public:
  // `subject`: the UTF-8 path of the file the call opens, which the component names in front of its
  // messages ("PATH:message"); the caller knows it, so the error leaves it out.
  explicit Call(std::string_view subject = {});
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // A failure of the component: the messages it showed, else `text`.
  [[noreturn]] void Fail(HRESULT code, const std::string& text) const;
  // Fails with "<step> failed: 0x..." when the code is a failure.
  void Check(HRESULT code, const char* step) const;

 private:
  std::string m_Subject;  // ANSI, with the ":" that follows it
  std::vector<std::string> m_Messages;
  ThreadMessageSink m_Sink;
};

// The library's own refusal of what it was asked (E_INVALIDARG).
[[noreturn]] void Refuse(const std::string& text);

// A new reader object from the component's class factory, asked for the interface.
void NewReader(const Call& call, REFIID iid, void** reader);
template <typename Interface>
ComPtr<Interface> NewReader(const Call& call) {
  ComPtr<Interface> reader;
  NewReader(call, IidOf<Interface>(), reader.ReceiveVoid());
  return reader;
}

}  // namespace gdr::library
