#include "doubles/HostDoubles.h"

#include <concepts>
#include <cstdio>
#include <tuple>

#include "contract/HostInterfaces.h"
#include "host/HostData.h"
#include "host/HostToolbox.h"
#include "platform/ComObject.h"

HRESULT CallRecorder::Record(const std::string& operation, const std::string& arguments) {
  m_Calls.push_back(operation + "(" + arguments + ")");
  const auto planned = m_Failures.find({operation, ++m_Counts[operation]});
  return planned == m_Failures.end() ? S_OK : planned->second;
}

std::vector<std::string> CallRecorder::CallsOf(std::string_view prefix) const {
  std::vector<std::string> calls;
  for (const std::string& call : m_Calls)
    if (call.starts_with(prefix)) calls.push_back(call);
  return calls;
}

namespace {

int g_LivingObjects = 0;
int g_OleAtLastRelease = -1;

struct Bytes {
  const void* data;
  ULONG size;
};

// An argument as a recorded call shows it; output places show nothing.
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
std::string Format(const OLECHAR* name) { return std::string(name, name + std::char_traits<OLECHAR>::length(name)); }
std::string Format(IStorage* storage) { return storage ? "storage" : "null"; }
std::string Format(const GUID& guid) { return GuidToString(guid); }
std::string Format(Bytes bytes) {
  std::string text;
  for (ULONG i = 0; i < bytes.size; ++i) {
    const unsigned byte = static_cast<const unsigned char*>(bytes.data)[i];
    text += std::string(i ? " " : "") + "0123456789abcdef"[byte / 16] + "0123456789abcdef"[byte % 16];
  }
  return "[" + text + "]";
}
template <typename Place>
std::string Format(Place*) {
  return "";
}

template <typename... Values>
std::string Args(const Values&... values) {
  std::string text;
  for (const std::string& shown : {std::string(), Format(values)...})
    if (!shown.empty()) text += (text.empty() ? "" : ", ") + shown;
  return text;
}

// The names that recorded calls give the host's interfaces.
std::string NameOf(REFIID iid) {
  static const std::pair<IID, const char*> kNames[] = {{IidOf<IHostMessages>(), "Messages"},
                                                       {IidOf<IHostRegistration>(), "Registration"},
                                                       {IidOf<IHostPropertyWriter>(), "PropertyWriter"},
                                                       {IidOf<IHostPropertyBag>(), "PropertyBag"},
                                                       {IidOf<IHostMarkerWriter>(), "MarkerWriter"},
                                                       {IidOf<IHostConverter>(), "Converter"},
                                                       {IidOf<IEEGData>(), "HostData"}};
  for (const auto& [known, name] : kNames)
    if (iid == known) return name;
  return GuidToString(iid);
}

// Records each call as "Name.Operation(arguments)" and hands it on to the real object, unless a
// failure is planned for it.
template <typename Interface>
class Forwarder {
 public:
  Forwarder(CallRecorder& recorder, std::string name, IUnknown* real) : m_Recorder(recorder), m_Name(std::move(name)) {
    real->QueryInterface(IidOf<Interface>(), m_Real.ReceiveVoid());
  }

 protected:
  using I = Interface;
  template <typename Call>
  HRESULT Record(const std::string& operation, const std::string& arguments, Call call) {
    const HRESULT planned = m_Recorder.Record(m_Name + "." + operation, arguments);
    return planned != S_OK ? planned : call();
  }
  // The call recorded with its arguments as they are.
  template <auto Operation, typename... Arguments>
  HRESULT Forward(const std::string& operation, Arguments... arguments) {
    return Record(operation, Args(arguments...), [&] { return (m_Real.Get()->*Operation)(arguments...); });
  }

  CallRecorder& m_Recorder;
  std::string m_Name;
  ComPtr<Interface> m_Real;
};

// What each part of a double is made with: the double, the recorder and the real host object.
using Making = std::tuple<IUnknown&, CallRecorder&, IUnknown*>;

// One interface of a host object's double.
template <typename Interface>
class Part : public ComPart<Interface>, protected Forwarder<Interface> {
 public:
  explicit Part(const Making& making)
      : ComPart<Interface>(std::get<0>(making)),
        Forwarder<Interface>(std::get<1>(making), NameOf(IidOf<Interface>()), std::get<2>(making)) {}
};

// The operations the component never calls answer E_NOTIMPL.
class Messages : public Part<IHostMessages> {
 public:
  using Part::Part;
  HRESULT SetOwnerWindow(void*) override { return E_NOTIMPL; }
  HRESULT ShowMessage(const char* text) override {
    return Record("ShowMessage", Args(text), [] { return S_OK; });
  }
};

class Registration : public Part<IHostRegistration> {
 public:
  using Part::Part;
  HRESULT Open() override { return E_NOTIMPL; }
  HRESULT RegisterComponent(const char* path, HKEY* key, REFCLSID clsid, const char* description) override {
    return Forward<&I::RegisterComponent>("RegisterComponent", path, key, clsid, description);
  }
  HRESULT RegisterCategory(const char*, const char*) override { return E_NOTIMPL; }
  HRESULT RegisterClass(REFCLSID clsid, HINSTANCE module, const char* progId) override {
    return Forward<&I::RegisterClass>("RegisterClass", clsid, module, progId);
  }
  HRESULT FindComponent(const char*, CLSID*) override { return E_NOTIMPL; }
  HRESULT EnumComponents(const char*, CLSID*, ULONG*) override { return E_NOTIMPL; }
  HRESULT UnregisterCategory(const char*) override { return E_NOTIMPL; }
  HRESULT Close() override { return E_NOTIMPL; }
  HRESULT UnregisterComponent(const char* path, REFCLSID clsid) override {
    return Forward<&I::UnregisterComponent>("UnregisterComponent", path, clsid);
  }
  HRESULT UnregisterClass(REFCLSID clsid) override { return Forward<&I::UnregisterClass>("UnregisterClass", clsid); }
};

class PropertyWriter : public Part<IHostPropertyWriter> {
 public:
  using Part::Part;
  HRESULT Attach(IStorage* storage) override { return Forward<&I::Attach>("Attach", storage); }
  HRESULT Finish() override { return Forward<&I::Finish>("Finish"); }
  HRESULT GetProperty(ULONG, ULONG, BYTE**, ULONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) override {
    return Record("SetProperty", Args(tag, index, Bytes{data, size}),
                  [&] { return m_Real->SetProperty(tag, index, data, size); });
  }
  HRESULT RemoveProperty(ULONG, ULONG) override { return E_NOTIMPL; }
  HRESULT Close() override { return Forward<&I::Close>("Close"); }
};

class PropertyBag : public Part<IHostPropertyBag> {
 public:
  using Part::Part;
  HRESULT Reset(const BYTE* data, ULONG size) override {
    return Record("Reset", Args(Bytes{data, size}), [&] { return m_Real->Reset(data, size); });
  }
  HRESULT SaveToMemory(BYTE** data, ULONG* size) override {
    return Forward<&I::SaveToMemory>("SaveToMemory", data, size);
  }
  HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) override {
    return Record("SetProperty", Args(tag, index, Bytes{data, size}),
                  [&] { return m_Real->SetProperty(tag, index, data, size); });
  }
  HRESULT GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) override {
    return Forward<&I::GetProperty>("GetProperty", tag, index, data, size);
  }
};

class MarkerWriter : public Part<IHostMarkerWriter> {
 public:
  using Part::Part;
  HRESULT Attach(IStorage* storage) override { return Forward<&I::Attach>("Attach", storage); }
  HRESULT BeginMarker(LONG position, LONG points) override {
    return Forward<&I::BeginMarker>("BeginMarker", position, points);
  }
  HRESULT SetType(const char* type) override { return Forward<&I::SetType>("SetType", type); }
  HRESULT SetDate(double date) override { return Forward<&I::SetDate>("SetDate", date); }
  HRESULT SetDescription(const char* text) override { return Forward<&I::SetDescription>("SetDescription", text); }
  HRESULT SetChannel(LONG channel) override { return Forward<&I::SetChannel>("SetChannel", channel); }
  HRESULT SetFlag() override { return Forward<&I::SetFlag>("SetFlag"); }
  HRESULT AddMarker() override { return Forward<&I::AddMarker>("AddMarker"); }
  HRESULT Commit() override { return Forward<&I::Commit>("Commit"); }
};

class Converter : public Part<IHostConverter> {
 public:
  using Part::Part;
  HRESULT ValueToDate(double, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT DateToValue(LONG year, LONG month, LONG day, LONG hour, LONG minute, LONG second, LONG microsecond,
                      double* value) override {
    return Forward<&I::DateToValue>("DateToValue", year, month, day, hour, minute, second, microsecond, value);
  }
  HRESULT LookupCoordinates(const char* label, float coordinates[3]) override {
    return Forward<&I::LookupCoordinates>("LookupCoordinates", label, coordinates);
  }
  HRESULT ConvertLabel(const char* label, char** converted) override {
    return Forward<&I::ConvertLabel>("ConvertLabel", label, converted);
  }
};

class HostData : public Part<IEEGData> {
 public:
  using Part::Part;
  HRESULT LoadFromStorage(IStorage* storage, LONG option) override {
    return Forward<&I::LoadFromStorage>("LoadFromStorage", storage, option);
  }
  HRESULT GetProperties(IHostPropertyWriter** properties) override {
    return Forward<&I::GetProperties>("GetProperties", properties);
  }
  HRESULT GetData(LONG, LONG, float**, const LONG*, LONG) override { return E_NOTIMPL; }
  HRESULT Operation4(LONG, LONG, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Operation5(LONG) override { return E_NOTIMPL; }
  HRESULT Operation6(LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Operation7(LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Operation8(LONG*) override { return E_NOTIMPL; }
};

// A host object made of recording parts around a real one, counted while it lives.
template <typename... Parts>
class Double final : public ComObject<IUnknown> {
 public:
  Double(CallRecorder& recorder, IUnknown* real)
      : m_Parts((void(sizeof(Parts)), Making{*this, recorder, real})...) {  // one for each part
    ++g_LivingObjects;
  }
  ~Double() override {
    --g_LivingObjects;
#if !defined(_WIN32)
    g_OleAtLastRelease = OleInitializeCount();
#endif
  }

 protected:
  void* FindInterface(REFIID iid) override {
    return std::apply([&](auto&... parts) { return FindPart(iid, parts...); }, m_Parts);
  }

 private:
  std::tuple<Parts...> m_Parts;
};

// Makes the doubles of a class; the creation is recorded and can be made to fail.
template <typename Made, typename Real>
class Factory final : public ComObject<IClassFactory> {
 public:
  explicit Factory(CallRecorder& recorder) : m_Recorder(recorder) {}
  HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override {
    const HRESULT planned = m_Recorder.Record("Create", NameOf(iid));
    if (planned != S_OK) return planned;
    return MakeCom<IUnknown, Made>(m_Recorder, MakeCom<IUnknown, Real>().Get())->QueryInterface(iid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  CallRecorder& m_Recorder;
};

using Toolbox = Double<Messages, Registration, PropertyWriter, PropertyBag, MarkerWriter, Converter>;

class RecordingStream final : public ComObject<IStream>, Forwarder<IStream> {
 public:
  using Forwarder::Forwarder;
  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    return Forward<&I::Read>("Read", buffer, count, read);
  }
  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    return Forward<&I::Write>("Write", buffer, count, written);
  }
  HRESULT Stat(STATSTG* status, DWORD flags) override { return Forward<&I::Stat>("Stat", status, flags); }
  HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }
};

// Each stream it opens or creates is handed out as a recording stream named after itself.
class RecordingStorage final : public ComObject<IStorage>, Forwarder<IStorage> {
 public:
  using Forwarder::Forwarder;
  HRESULT CreateStream(LPCOLESTR name, DWORD mode, DWORD r1, DWORD r2, IStream** stream) override {
    return Opened(Record("CreateStream", Args(name), [&] { return m_Real->CreateStream(name, mode, r1, r2, stream); }),
                  name, stream);
  }
  HRESULT OpenStream(LPCOLESTR name, void* r1, DWORD mode, DWORD r2, IStream** stream) override {
    return Opened(Record("OpenStream", Args(name), [&] { return m_Real->OpenStream(name, r1, mode, r2, stream); }),
                  name, stream);
  }
  HRESULT CreateStorage(LPCOLESTR, DWORD, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
  HRESULT OpenStorage(LPCOLESTR, IStorage*, DWORD, SNB, DWORD, IStorage**) override { return E_NOTIMPL; }
  HRESULT CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
  HRESULT MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override { return E_NOTIMPL; }
  HRESULT DestroyElement(LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT RenameElement(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT SetElementTimes(LPCOLESTR, const FILETIME*, const FILETIME*, const FILETIME*) override { return E_NOTIMPL; }
  HRESULT SetClass(REFCLSID clsid) override { return Forward<&I::SetClass>("SetClass", clsid); }
  HRESULT SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }

 private:
  HRESULT Opened(HRESULT result, LPCOLESTR name, IStream** stream) {
    if (SUCCEEDED(result))
      *stream =
          MakeCom<IStream, RecordingStream>(m_Recorder, Format(name), ComPtr<IStream>::Attach(*stream).Get()).Detach();
    return result;
  }
};

}  // namespace

HostDoubles::HostDoubles() {
  CoRegisterClassObject(CLSID_HostToolbox, MakeCom<IClassFactory, Factory<Toolbox, CHostToolbox>>(*this).Get(),
                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_ToolboxCookie);
  CoRegisterClassObject(CLSID_HostData, MakeCom<IClassFactory, Factory<Double<HostData>, CHostData>>(*this).Get(),
                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_DataCookie);
}

HostDoubles::~HostDoubles() {
  CoRevokeClassObject(m_DataCookie);
  CoRevokeClassObject(m_ToolboxCookie);
}

std::vector<std::string> HostDoubles::Messages() const {
  std::vector<std::string> texts;
  for (const std::string& call : CallsOf("Messages.ShowMessage(\"")) texts.push_back(call.substr(22, call.size() - 24));
  return texts;
}

int HostDoubles::LivingObjects() { return g_LivingObjects; }

int HostDoubles::OleAtLastRelease() { return g_OleAtLastRelease; }

ComPtr<IStorage> MakeRecordingStorage(CallRecorder& recorder, ComPtr<IStorage> real) {
  return MakeCom<IStorage, RecordingStorage>(recorder, "Storage", real.Get());
}

std::string StreamBytes(IStorage* storage, LPCOLESTR name) {
  ComPtr<IStream> stream;
  if (FAILED(storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive())))
    return "<none>";
  std::string bytes;
  char chunk[4096];
  ULONG read = 0;
  while (SUCCEEDED(stream->Read(chunk, sizeof chunk, &read)) && read > 0) bytes.append(chunk, read);
  return bytes;
}
