#pragma once
// The host's toolbox class: one object per creation, made of one part per host interface (two of the
// interfaces share operation names, so each interface has an implementation of its own).
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "contract/HostInterfaces.h"
#include "host/PropertyStore.h"
#include "host/StoredMarkers.h"
#include "platform/ComObject.h"

// Where IHostMessages puts each text, as one line; stderr unless a sink is set (an empty one resets).
using HostMessageSink = std::function<void(const std::string& text)>;
void SetHostMessageSink(HostMessageSink sink);
// While it lives, the messages shown on the thread that made it go to its sink instead, so that a
// host serving several threads tells each caller its own messages.
class ThreadMessageSink {
 public:
  explicit ThreadMessageSink(HostMessageSink sink);
  ~ThreadMessageSink();
  ThreadMessageSink(const ThreadMessageSink&) = delete;
  ThreadMessageSink& operator=(const ThreadMessageSink&) = delete;

 private:
  friend class HostMessages;
  HostMessageSink m_Sink;
  ThreadMessageSink* m_Outer;
};

// Names of the streams that the toolbox's writers keep in a recording's storage.
inline constexpr LPCOLESTR kHostPropertiesStream = OLESTR("HostProperties");

class HostMessages final : public ComPart<IHostMessages> {
 public:
  using ComPart::ComPart;
  HRESULT SetOwnerWindow(void*) override { return S_OK; }
  HRESULT ShowMessage(const char* text) override;
};

// Keeps registrations in the registry: the class's module, ProgID and description under
// HKEY_CLASSES_ROOT\CLSID\{...}, and each component under
// HKEY_CURRENT_USER\Software\Sylvex\Components\<category path>\{...}.
class HostRegistration final : public ComPart<IHostRegistration> {
 public:
  using ComPart::ComPart;
  HRESULT Open() override { return S_OK; }
  HRESULT RegisterComponent(const char* categoryPath, HKEY* key, REFCLSID clsid, const char* description) override;
  HRESULT RegisterCategory(const char* categoryPath, const char* description) override;
  HRESULT RegisterClass(REFCLSID clsid, HINSTANCE module, const char* progId) override;
  HRESULT FindComponent(const char* progId, CLSID* clsid) override;
  HRESULT EnumComponents(const char*, CLSID*, ULONG*) override { return E_NOTIMPL; }
  HRESULT UnregisterCategory(const char* categoryPath) override;
  HRESULT Close() override { return S_OK; }
  HRESULT UnregisterComponent(const char* categoryPath, REFCLSID clsid) override;
  HRESULT UnregisterClass(REFCLSID clsid) override;
};

// Keeps the recording's properties; Finish stores them in the attached storage's "HostProperties".
class HostPropertyWriter final : public ComPart<IHostPropertyWriter> {
 public:
  using ComPart::ComPart;
  HRESULT Attach(IStorage* storage) override;
  HRESULT Finish() override;
  HRESULT GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) override;
  HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) override;
  HRESULT RemoveProperty(ULONG tag, ULONG index) override;
  HRESULT Close() override;

 private:
  PropertyStore m_Properties;
  ComPtr<IStorage> m_Storage;
};

class HostPropertyBag final : public ComPart<IHostPropertyBag> {
 public:
  using ComPart::ComPart;
  HRESULT Reset(const BYTE* data, ULONG size) override;
  HRESULT SaveToMemory(BYTE** data, ULONG* size) override;
  HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) override;
  HRESULT GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) override;

 private:
  PropertyStore m_Entries;
};

// Collects markers; Commit stores the list in the attached storage's "HostMarkers".
class HostMarkerWriter final : public ComPart<IHostMarkerWriter> {
 public:
  using ComPart::ComPart;
  HRESULT Attach(IStorage* storage) override;
  HRESULT BeginMarker(LONG position, LONG points) override;
  HRESULT SetType(const char* type) override;
  HRESULT SetDate(double date) override;
  HRESULT SetDescription(const char* description) override;
  HRESULT SetChannel(LONG channel) override;
  HRESULT SetFlag() override;
  HRESULT AddMarker() override;
  HRESULT Commit() override;

 private:
  ComPtr<IStorage> m_Storage;
  std::vector<std::uint8_t> m_Encoded;  // the markers added so far, as they are stored
  std::uint32_t m_Count = 0;
  StoredMarker m_Current;
  bool m_Begun = false;
};

class HostConverter final : public ComPart<IHostConverter> {
 public:
  using ComPart::ComPart;
  HRESULT ValueToDate(double value, LONG* year, LONG* month, LONG* day) override;
  // The OLE automation date: days since 1899-12-30 plus the fraction of the day, to the microsecond.
  // E_INVALIDARG for a date or time that does not exist, or a year outside 100 to 9999.
  HRESULT DateToValue(LONG year, LONG month, LONG day, LONG hour, LONG minute, LONG second, LONG microsecond,
                      double* value) override;
  // Spherical coordinates (radius, theta, phi in degrees) of the standard 10-20 positions; zeros for
  // a label it does not know.
  HRESULT LookupCoordinates(const char* label, float coordinates[3]) override;
  HRESULT ConvertLabel(const char* label, char** converted) override;
};

// The time of an OLE automation date, rounded to the microsecond; nothing for a value that no
// date of the years 100 to 9999 has.
std::optional<std::chrono::sys_time<std::chrono::microseconds>> OleDateToTime(double value);

class CHostToolbox final : public ComObject<IUnknown> {
 protected:
  void* FindInterface(REFIID iid) override;

 private:
  HostMessages m_Messages{*this};
  HostRegistration m_Registration{*this};
  HostPropertyWriter m_PropertyWriter{*this};
  HostPropertyBag m_PropertyBag{*this};
  HostMarkerWriter m_MarkerWriter{*this};
  HostConverter m_Converter{*this};
};

// Task-allocated copies, as the host hands data out.
HRESULT TaskCopyBytes(const std::vector<std::uint8_t>& bytes, BYTE** data, ULONG* size);
