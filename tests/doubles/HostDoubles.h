#pragma once
// Test doubles of the host. While a HostDoubles object lives, the toolbox and host data classes in the
// process's class table make stand-ins that record each call, as "Interface.Operation(arguments)"
// (a creation as "Create(Interface)"), and then hand it on to a real host object. A recording storage
// does the same for a storage and the streams it opens ("Storage.OpenStream(DataPath)",
// "DataPath.Read(999)"). A test can make the n-th call of an operation answer a code of its choice.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ComPtr.h"
#include "platform/ComRuntime.h"
#include "platform/Storage.h"

class CallRecorder {
 public:
  // The n-th call (counted from 1) of `operation`, e.g. "MarkerWriter.Commit", answers `code`.
  void FailCall(std::string operation, int n, HRESULT code) { m_Failures[{std::move(operation), n}] = code; }
  // Records the call; answers the planned code, or S_OK to go on with the real call.
  HRESULT Record(const std::string& operation, const std::string& arguments);
  // The recorded calls that start with `prefix`, in order.
  std::vector<std::string> CallsOf(std::string_view prefix = "") const;
  // Forgets the calls; planned failures stay.
  void Clear() {
    m_Calls.clear();
    m_Counts.clear();
  }

 private:
  std::vector<std::string> m_Calls;
  std::map<std::string, int> m_Counts;
  std::map<std::pair<std::string, int>, HRESULT> m_Failures;
};

class HostDoubles : public CallRecorder {
 public:
  HostDoubles();
  ~HostDoubles();
  HostDoubles(const HostDoubles&) = delete;
  HostDoubles& operator=(const HostDoubles&) = delete;

  // Texts shown through IHostMessages since the calls were last forgotten, in order.
  std::vector<std::string> Messages() const;
  // Host objects made by the doubles that are still alive.
  static int LivingObjects();
  // The thread's OLE initialisations when the last of them ended (this platform counts them).
  static int OleAtLastRelease();

 private:
  OleSession m_Ole;
  DWORD m_ToolboxCookie = 0;
  DWORD m_DataCookie = 0;
};

// Wraps `real`; the recorder must outlive the storage.
ComPtr<IStorage> MakeRecordingStorage(CallRecorder& recorder, ComPtr<IStorage> real);
// The bytes of a stream of a storage, or "<none>" when it has none.
std::string StreamBytes(IStorage* storage, LPCOLESTR name);
