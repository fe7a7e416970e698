#include "doubles/HostDoubles.h"

#include <concepts>
#include <cstdio>
#include <functional>
#include <optional>

#include "contract/HostInterfaces.h"
#include "host/HostData.h"
#include "host/HostToolbox.h"
#include "platform/ComRuntime.h"

void CallRecorder::FailCall(std::string operation, int n, HRESULT code) {
  m_Failures[{std::move(operation), n}] = code;
}

HRESULT CallRecorder::Record(std::string_view operation, std::string arguments) {
  m_Calls.push_back(std::string(operation) + "(" + arguments + ")");
  const int n = ++m_Counts[std::string(operation)];
  const auto planned = m_Failures.find({std::string(operation), n});
  return planned == m_Failures.end() ? S_OK : planned->second;
}

std::vector<std::string> CallRecorder::CallsOf(std::string_view prefix) const {
  std::vector<std::string> calls;
  for (const std::string& call : m_Calls)
    if (call.starts_with(prefix)) calls.push_back(call);
  return calls;
}

void CallRecorder::Clear() {
  m_Calls.clear();
  m_Counts.clear();
}

namespace {

int g_LivingObjects = 0;
int g_OleAtToolboxRelease = -1;

// Counts the host objects that are alive.
struct Living {
  Living() { ++g_LivingObjects; }
  ~Living() { --g_LivingObjects; }
  Living(const Living&) = delete;
  Living& operator=(const Living&) = delete;
};

struct Shared {
  std::shared_ptr<CallRecorder> recorder;
  std::shared_ptr<std::vector<std::string>> messages;
};

struct Bytes {
  const void* data;
  ULONG size;
};

template <std::integral Integer>
std::string Format(Integer value) {
  return std::to_string(value);
}
std::string Format(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}
std::string Format(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }
std::string Format(const IStorage* storage) { return storage ? "storage" : "null"; }
std::string Format(Bytes bytes) {
  if (!bytes.data) return "null, " + std::to_string(bytes.size);
  std::string text;
  for (ULONG i = 0; i < bytes.size; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<const unsigned char*>(bytes.data)[i]);
    text += (i ? " " : "") + std::string(hex);
  }
  return "[" + text + "]";
}

template <typename... Values>
std::string Args(const Values&... values) {
  std::string text;
  ((text += (text.empty() ? "" : ", ") + Format(values)), ...);
  return text;
}

// A part that records each call before it hands the call on to the real host object; the operations
// the component never calls answer E_NOTIMPL.
template <typename Interface>
class Recording : public ComPart<Interface> {
 public:
  Recording(IUnknown& owner, Shared shared, const ComPtr<IUnknown>& real, std::string name)
      : ComPart<Interface>(owner), m_Shared(std::move(shared)), m_Name(std::move(name)) {
    real.As(m_Real);
  }

 protected:
  HRESULT Call(std::string_view operation, std::string arguments, const std::function<HRESULT()>& forward) {
    const HRESULT planned = m_Shared.recorder->Record(m_Name + "." + std::string(operation), std::move(arguments));
    return planned != S_OK ? planned : forward();
  }
  // Records the call with its arguments as they are and hands it on to the real object's `Method`.
  template <auto Method, typename... Arguments>
  HRESULT Forward(std::string_view operation, Arguments... arguments) {
    return Call(operation, Args(arguments...), [&] { return (Real()->*Method)(arguments...); });
  }
  Interface* Real() const { return m_Real.Get(); }
  Shared m_Shared;

 private:
  std::string m_Name;
  ComPtr<Interface> m_Real;
};

class Messages final : public Recording<IHostMessages> {
 public:
  using Recording::Recording;
  HRESULT SetOwnerWindow(void*) override { return E_NOTIMPL; }
  HRESULT ShowMessage(const char* text) override {
    return Call("ShowMessage", Args(text), [&] {
      m_Shared.messages->push_back(text ? text : "");
      return S_OK;
    });
  }
};

class Registration final : public Recording<IHostRegistration> {
 public:
  using Recording::Recording;
  HRESULT Open() override { return E_NOTIMPL; }
  HRESULT RegisterComponent(const char* path, HKEY* key, REFCLSID clsid, const char* description) override {
    return Call("RegisterComponent", Args(path, GuidToString(clsid).c_str(), description),
                [&] { return Real()->RegisterComponent(path, key, clsid, description); });
  }
  HRESULT RegisterCategory(const char*, const char*) override { return E_NOTIMPL; }
  HRESULT RegisterClass(REFCLSID clsid, HINSTANCE module, const char* progId) override {
    return Call("RegisterClass", Args(GuidToString(clsid).c_str(), progId),
                [&] { return Real()->RegisterClass(clsid, module, progId); });
  }
  HRESULT FindComponent(const char*, CLSID*) override { return E_NOTIMPL; }
  HRESULT EnumComponents(const char*, CLSID*, ULONG*) override { return E_NOTIMPL; }
  HRESULT UnregisterCategory(const char*) override { return E_NOTIMPL; }
  HRESULT Close() override { return E_NOTIMPL; }
  HRESULT UnregisterComponent(const char* path, REFCLSID clsid) override {
    return Call("UnregisterComponent", Args(path, GuidToString(clsid).c_str()),
                [&] { return Real()->UnregisterComponent(path, clsid); });
  }
  HRESULT UnregisterClass(REFCLSID clsid) override {
    return Call("UnregisterClass", Args(GuidToString(clsid).c_str()), [&] { return Real()->UnregisterClass(clsid); });
  }
};

class PropertyWriter final : public Recording<IHostPropertyWriter> {
 public:
  using Recording::Recording;
  HRESULT Attach(IStorage* storage) override { return Forward<&IHostPropertyWriter::Attach>("Attach", storage); }
  HRESULT Finish() override { return Forward<&IHostPropertyWriter::Finish>("Finish"); }
  HRESULT GetProperty(ULONG, ULONG, BYTE**, ULONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) override {
    return Call("SetProperty", Args(tag, index, Bytes{data, size}),
                [&] { return Real()->SetProperty(tag, index, data, size); });
  }
  HRESULT RemoveProperty(ULONG, ULONG) override { return E_NOTIMPL; }
  HRESULT Close() override { return Forward<&IHostPropertyWriter::Close>("Close"); }
};

class PropertyBag final : public Recording<IHostPropertyBag> {
 public:
  using Recording::Recording;
  HRESULT Reset(const BYTE* data, ULONG size) override {
    return Call("Reset", Args(Bytes{data, size}), [&] { return Real()->Reset(data, size); });
  }
  HRESULT SaveToMemory(BYTE** data, ULONG* size) override {
    return Call("SaveToMemory", "", [&] { return Real()->SaveToMemory(data, size); });
  }
  HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) override {
    return Call("SetProperty", Args(tag, index, Bytes{data, size}),
                [&] { return Real()->SetProperty(tag, index, data, size); });
  }
  HRESULT GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) override {
    return Call("GetProperty", Args(tag, index), [&] { return Real()->GetProperty(tag, index, data, size); });
  }
};

class MarkerWriter final : public Recording<IHostMarkerWriter> {
 public:
  using Recording::Recording;
  HRESULT Attach(IStorage* storage) override { return Forward<&IHostMarkerWriter::Attach>("Attach", storage); }
  HRESULT BeginMarker(LONG position, LONG points) override {
    return Forward<&IHostMarkerWriter::BeginMarker>("BeginMarker", position, points);
  }
  HRESULT SetType(const char* type) override { return Forward<&IHostMarkerWriter::SetType>("SetType", type); }
  HRESULT SetDate(double date) override { return Forward<&IHostMarkerWriter::SetDate>("SetDate", date); }
  HRESULT SetDescription(const char* text) override {
    return Forward<&IHostMarkerWriter::SetDescription>("SetDescription", text);
  }
  HRESULT SetChannel(LONG channel) override { return Forward<&IHostMarkerWriter::SetChannel>("SetChannel", channel); }
  HRESULT SetFlag() override { return Forward<&IHostMarkerWriter::SetFlag>("SetFlag"); }
  HRESULT AddMarker() override { return Forward<&IHostMarkerWriter::AddMarker>("AddMarker"); }
  HRESULT Commit() override { return Forward<&IHostMarkerWriter::Commit>("Commit"); }
};

class Converter final : public Recording<IHostConverter> {
 public:
  using Recording::Recording;
  HRESULT ValueToDate(double, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT DateToValue(LONG year, LONG month, LONG day, LONG hour, LONG minute, LONG second, LONG microsecond,
                      double* value) override {
    return Call("DateToValue", Args(year, month, day, hour, minute, second, microsecond),
                [&] { return Real()->DateToValue(year, month, day, hour, minute, second, microsecond, value); });
  }
  HRESULT LookupCoordinates(const char* label, float coordinates[3]) override {
    return Call("LookupCoordinates", Args(label), [&] { return Real()->LookupCoordinates(label, coordinates); });
  }
  HRESULT ConvertLabel(const char* label, char** converted) override {
    return Call("ConvertLabel", Args(label), [&] { return Real()->ConvertLabel(label, converted); });
  }
};

class Toolbox final : public ComObject<IUnknown> {
 public:
  Toolbox(const Shared& shared, const ComPtr<IUnknown>& real)
      : m_Messages(*this, shared, real, "Messages"),
        m_Registration(*this, shared, real, "Registration"),
        m_PropertyWriter(*this, shared, real, "PropertyWriter"),
        m_PropertyBag(*this, shared, real, "PropertyBag"),
        m_MarkerWriter(*this, shared, real, "MarkerWriter"),
        m_Converter(*this, shared, real, "Converter") {}
#if !defined(_WIN32)
  ~Toolbox() override { g_OleAtToolboxRelease = OleInitializeCount(); }
#endif

 protected:
  void* FindInterface(REFIID iid) override {
    return FindPart(iid, m_Messages, m_Registration, m_PropertyWriter, m_PropertyBag, m_MarkerWriter, m_Converter);
  }

 private:
  Living m_Living;
  Messages m_Messages;
  Registration m_Registration;
  PropertyWriter m_PropertyWriter;
  PropertyBag m_PropertyBag;
  MarkerWriter m_MarkerWriter;
  Converter m_Converter;
};

class HostData final : public ComObject<IEEGData> {
 public:
  explicit HostData(Shared shared) : m_Shared(std::move(shared)), m_Real(MakeCom<IEEGData, CHostData>()) {}
  HRESULT LoadFromStorage(IStorage* storage, LONG option) override {
    return Call("LoadFromStorage", Args(storage, option), [&] { return m_Real->LoadFromStorage(storage, option); });
  }
  HRESULT GetProperties(IHostPropertyWriter** properties) override {
    return Call("GetProperties", "", [&] { return m_Real->GetProperties(properties); });
  }
  HRESULT GetData(LONG, LONG, float**, const LONG*, LONG) override { return E_NOTIMPL; }
  HRESULT Operation4(LONG a, LONG b, LONG c, LONG d) override { return m_Real->Operation4(a, b, c, d); }
  HRESULT Operation5(LONG a) override { return m_Real->Operation5(a); }
  HRESULT Operation6(LONG a, LONG b) override { return m_Real->Operation6(a, b); }
  HRESULT Operation7(LONG a, LONG b) override { return m_Real->Operation7(a, b); }
  HRESULT Operation8(LONG*) override { return E_NOTIMPL; }

 private:
  HRESULT Call(std::string_view operation, std::string arguments, const std::function<HRESULT()>& forward) {
    const HRESULT planned = m_Shared.recorder->Record("HostData." + std::string(operation), std::move(arguments));
    return planned != S_OK ? planned : forward();
  }
  Living m_Living;
  Shared m_Shared;
  ComPtr<IEEGData> m_Real;
};

std::string InterfaceName(REFIID iid) {
  if (iid == IidOf<IUnknown>()) return "IUnknown";
  if (iid == IidOf<IHostMessages>()) return "IHostMessages";
  if (iid == IidOf<IHostRegistration>()) return "IHostRegistration";
  if (iid == IidOf<IHostPropertyWriter>()) return "IHostPropertyWriter";
  if (iid == IidOf<IHostPropertyBag>()) return "IHostPropertyBag";
  if (iid == IidOf<IHostMarkerWriter>()) return "IHostMarkerWriter";
  if (iid == IidOf<IHostConverter>()) return "IHostConverter";
  if (iid == IidOf<IEEGData>()) return "IEEGData";
  return GuidToString(iid);
}

// Makes the doubles; the creation itself is recorded and can be made to fail.
class Factory final : public ComObject<IClassFactory> {
 public:
  Factory(Shared shared, bool makesData) : m_Shared(std::move(shared)), m_MakesData(makesData) {}
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    const HRESULT planned = m_Shared.recorder->Record("Create", InterfaceName(iid));
    if (planned != S_OK) return planned;
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<IUnknown> made = m_MakesData ? MakeCom<IUnknown, HostData>(m_Shared)
                                        : MakeCom<IUnknown, Toolbox>(m_Shared, MakeCom<IUnknown, CHostToolbox>());
    return made->QueryInterface(iid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  Shared m_Shared;
  bool m_MakesData;
};

}  // namespace

HostDoubles::HostDoubles()
    : m_Recorder(std::make_shared<CallRecorder>()), m_Messages(std::make_shared<std::vector<std::string>>()) {
  const Shared shared{m_Recorder, m_Messages};
  ComPtr<IClassFactory> toolbox = MakeCom<IClassFactory, Factory>(shared, false);
  ComPtr<IClassFactory> data = MakeCom<IClassFactory, Factory>(shared, true);
  CoRegisterClassObject(CLSID_HostToolbox, toolbox.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_ToolboxCookie);
  CoRegisterClassObject(CLSID_HostData, data.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_DataCookie);
}

void HostDoubles::Restart() {
  *m_Recorder = CallRecorder();
  m_Messages->clear();
}

int HostDoubles::LivingObjects() const { return g_LivingObjects; }

int HostDoubles::OleAtToolboxRelease() const { return g_OleAtToolboxRelease; }

HostDoubles::~HostDoubles() {
  CoRevokeClassObject(m_DataCookie);
  CoRevokeClassObject(m_ToolboxCookie);
}
