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

class RecordingStream final : public ComObject<IStream> {
 public:
  RecordingStream(CallRecorder& recorder, ComPtr<IStream> real, std::string name)
      : m_Recorder(recorder), m_Real(std::move(real)), m_Name(std::move(name)) {}

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (const HRESULT planned = m_Recorder.Record("Stream.Read", m_Name); planned != S_OK) return planned;
    return m_Real->Read(buffer, count, read);
  }
  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (const HRESULT planned = m_Recorder.Record("Stream.Write", m_Name + ", " + std::to_string(count) + " bytes");
        planned != S_OK)
      return planned;
    return m_Real->Write(buffer, count, written);
  }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    return m_Real->Seek(move, origin, position);
  }
  HRESULT SetSize(ULARGE_INTEGER size) override { return m_Real->SetSize(size); }
  HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
    return m_Real->CopyTo(target, count, read, written);
  }
  HRESULT Commit(DWORD flags) override { return m_Real->Commit(flags); }
  HRESULT Revert() override { return m_Real->Revert(); }
  HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override {
    return m_Real->LockRegion(offset, count, type);
  }
  HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override {
    return m_Real->UnlockRegion(offset, count, type);
  }
  HRESULT Stat(STATSTG* status, DWORD flags) override {
    if (const HRESULT planned = m_Recorder.Record("Stream.Stat", m_Name); planned != S_OK) return planned;
    return m_Real->Stat(status, flags);
  }
  HRESULT Clone(IStream** clone) override { return m_Real->Clone(clone); }

 private:
  CallRecorder& m_Recorder;
  ComPtr<IStream> m_Real;
  std::string m_Name;
};

class RecordingStorage final : public ComObject<IStorage> {
 public:
  RecordingStorage(CallRecorder& recorder, ComPtr<IStorage> real) : m_Recorder(recorder), m_Real(std::move(real)) {}

  HRESULT CreateStream(LPCOLESTR name, DWORD mode, DWORD r1, DWORD r2, IStream** stream) override {
    if (const HRESULT planned = m_Recorder.Record("Storage.CreateStream", Narrow(name) + ", " + Mode(mode));
        planned != S_OK)
      return planned;
    return Wrap(m_Real->CreateStream(name, mode, r1, r2, stream), name, stream);
  }
  HRESULT OpenStream(LPCOLESTR name, void* r1, DWORD mode, DWORD r2, IStream** stream) override {
    if (const HRESULT planned = m_Recorder.Record("Storage.OpenStream", Narrow(name) + ", " + Mode(mode));
        planned != S_OK)
      return planned;
    return Wrap(m_Real->OpenStream(name, r1, mode, r2, stream), name, stream);
  }
  HRESULT CreateStorage(LPCOLESTR name, DWORD mode, DWORD r1, DWORD r2, IStorage** storage) override {
    return m_Real->CreateStorage(name, mode, r1, r2, storage);
  }
  HRESULT OpenStorage(LPCOLESTR name, IStorage* priority, DWORD mode, SNB exclude, DWORD r,
                      IStorage** storage) override {
    return m_Real->OpenStorage(name, priority, mode, exclude, r, storage);
  }
  HRESULT CopyTo(DWORD count, const IID* exclude, SNB names, IStorage* target) override {
    return m_Real->CopyTo(count, exclude, names, target);
  }
  HRESULT MoveElementTo(LPCOLESTR name, IStorage* target, LPCOLESTR newName, DWORD flags) override {
    return m_Real->MoveElementTo(name, target, newName, flags);
  }
  HRESULT Commit(DWORD flags) override { return m_Real->Commit(flags); }
  HRESULT Revert() override { return m_Real->Revert(); }
  HRESULT EnumElements(DWORD r1, void* r2, DWORD r3, IEnumSTATSTG** elements) override {
    return m_Real->EnumElements(r1, r2, r3, elements);
  }
  HRESULT DestroyElement(LPCOLESTR name) override { return m_Real->DestroyElement(name); }
  HRESULT RenameElement(LPCOLESTR from, LPCOLESTR to) override { return m_Real->RenameElement(from, to); }
  HRESULT SetElementTimes(LPCOLESTR name, const FILETIME* c, const FILETIME* a, const FILETIME* m) override {
    return m_Real->SetElementTimes(name, c, a, m);
  }
  HRESULT SetClass(REFCLSID clsid) override {
    if (const HRESULT planned = m_Recorder.Record("Storage.SetClass", GuidToString(clsid)); planned != S_OK)
      return planned;
    return m_Real->SetClass(clsid);
  }
  HRESULT SetStateBits(DWORD bits, DWORD mask) override { return m_Real->SetStateBits(bits, mask); }
  HRESULT Stat(STATSTG* status, DWORD flags) override { return m_Real->Stat(status, flags); }

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
