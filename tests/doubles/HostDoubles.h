#pragma once
// Test doubles of the host: while a HostDoubles object lives, the toolbox and host data classes in
// the process's class table are recording stand-ins. Every object they make forwards each call to a
// real host object and records it first, as "Interface.Operation(arguments)", in one shared list.
// A test can make the n-th call of an operation (or the n-th creation of an interface, recorded as
// "Create(Interface)") answer a code of its choice instead.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ComRuntime.h"

class CallRecorder {
 public:
  // The n-th call (counted from 1) of `operation`, e.g. "MarkerWriter.Commit", answers `code`.
  void FailCall(std::string operation, int n, HRESULT code);
  // Records the call; answers the planned code, or S_OK to go on with the real call.
  HRESULT Record(std::string_view operation, std::string arguments);
  const std::vector<std::string>& Calls() const { return m_Calls; }
  // The recorded calls of one operation (or of every operation whose name starts with the prefix).
  std::vector<std::string> CallsOf(std::string_view prefix) const;
  void Clear();

 private:
  std::vector<std::string> m_Calls;
  std::map<std::string, int, std::less<>> m_Counts;
  std::map<std::pair<std::string, int>, HRESULT> m_Failures;
};

class HostDoubles {
 public:
  HostDoubles();
  ~HostDoubles();
  HostDoubles(const HostDoubles&) = delete;
  HostDoubles& operator=(const HostDoubles&) = delete;

  CallRecorder& Recorder() { return *m_Recorder; }
  // Texts shown through IHostMessages, in order.
  const std::vector<std::string>& Messages() const { return *m_Messages; }
  // Forgets every call, planned failure and message.
  void Restart();
  // Host objects made by the doubles that are still alive.
  int LivingObjects() const;
  // The thread's OLE initialisations when the last toolbox object ended (this platform counts them).
  int OleAtToolboxRelease() const;

 private:
  OleSession m_Ole;
  std::shared_ptr<CallRecorder> m_Recorder;
  std::shared_ptr<std::vector<std::string>> m_Messages;
  DWORD m_ToolboxCookie = 0;
  DWORD m_DataCookie = 0;
};
