#include "doubles/StorageDoubles.h"

#include <cstdio>

#include "platform/ComObject.h"
#include "platform/ComRuntime.h"

namespace {

std::string Narrow(LPCOLESTR name) {
  std::string text;
  for (; name && *name; ++name) text += char(*name);
  return text;
}

std::string Mode(DWORD mode) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", unsigned(mode));
  return text;
}

// Records each call and answers the planned code, or hands the call on to the real object.
template <typename Call>
HRESULT Planned(CallRecorder& recorder, std::string_view operation, std::string arguments, Call call) {
  const HRESULT planned = recorder.Record(operation, std::move(arguments));
  return planned != S_OK ? planned : call();
}

class RecordingStream final : public ComObject<IStream> {
 public:
  RecordingStream(CallRecorder& recorder, ComPtr<IStream> real, std::string name)
      : m_Recorder(recorder), m_Real(std::move(real)), m_Name(std::move(name)) {}

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    return Planned(m_Recorder, "Stream.Read", m_Name, [&] { return m_Real->Read(buffer, count, read); });
  }
  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    return Planned(m_Recorder, "Stream.Write", m_Name + ", " + std::to_string(count) + " bytes",
                   [&] { return m_Real->Write(buffer, count, written); });
  }
  HRESULT Stat(STATSTG* status, DWORD flags) override {
    return Planned(m_Recorder, "Stream.Stat", m_Name, [&] { return m_Real->Stat(status, flags); });
  }
  // What the component never asks of a stream.
  HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

 private:
  CallRecorder& m_Recorder;
  ComPtr<IStream> m_Real;
  std::string m_Name;
};

class RecordingStorage final : public ComObject<IStorage> {
 public:
  RecordingStorage(CallRecorder& recorder, ComPtr<IStorage> real) : m_Recorder(recorder), m_Real(std::move(real)) {}

  HRESULT CreateStream(LPCOLESTR name, DWORD mode, DWORD r1, DWORD r2, IStream** stream) override {
    return Planned(m_Recorder, "Storage.CreateStream", Narrow(name) + ", " + Mode(mode),
                   [&] { return Wrap(m_Real->CreateStream(name, mode, r1, r2, stream), name, stream); });
  }
  HRESULT OpenStream(LPCOLESTR name, void* r1, DWORD mode, DWORD r2, IStream** stream) override {
    return Planned(m_Recorder, "Storage.OpenStream", Narrow(name) + ", " + Mode(mode),
                   [&] { return Wrap(m_Real->OpenStream(name, r1, mode, r2, stream), name, stream); });
  }
  // What the component never asks of a storage.
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
  HRESULT SetClass(REFCLSID clsid) override {
    return Planned(m_Recorder, "Storage.SetClass", GuidToString(clsid), [&] { return m_Real->SetClass(clsid); });
  }
  HRESULT SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }

 private:
  HRESULT Wrap(HRESULT result, LPCOLESTR name, IStream** stream) {
    if (SUCCEEDED(result) && stream && *stream)
      *stream = MakeCom<IStream, RecordingStream>(m_Recorder, ComPtr<IStream>::Attach(*stream), Narrow(name)).Detach();
    return result;
  }

  CallRecorder& m_Recorder;
  ComPtr<IStorage> m_Real;
};

}  // namespace

ComPtr<IStorage> MakeRecordingStorage(CallRecorder& recorder, ComPtr<IStorage> real) {
  return MakeCom<IStorage, RecordingStorage>(recorder, std::move(real));
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
