#include "host/HostToolbox.h"
#include "host/StreamFiles.h"

namespace {

// The bytes of a property handed in by address and size.
HRESULT ToBytes(const void* data, ULONG size, std::span<const std::uint8_t>& bytes) {
  if (!data && size) return E_POINTER;
  bytes = {static_cast<const std::uint8_t*>(data), size};
  return S_OK;
}

// S_OK and a task-allocated copy when present; S_FALSE, null and 0 when absent.
HRESULT HandOut(const PropertyStore& store, ULONG tag, ULONG index, BYTE** data, ULONG* size) {
  if (!data || !size) return E_POINTER;
  const PropertyStore::Bytes* found = store.Find(tag, index);
  if (!found) {
    *data = nullptr;
    *size = 0;
    return S_FALSE;
  }
  return TaskCopyBytes(*found, data, size);
}

}  // namespace

HRESULT HostPropertyWriter::Attach(IStorage* storage) {
  if (!storage) return E_POINTER;
  m_Storage = ComPtr<IStorage>::Share(storage);
  return S_OK;
}

HRESULT HostPropertyWriter::Finish() {
  if (!m_Storage) return E_UNEXPECTED;
  return WriteWholeStream(m_Storage.Get(), kHostPropertiesStream, m_Properties.Encode());
}

HRESULT HostPropertyWriter::GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) {
  return HandOut(m_Properties, tag, index, data, size);
}

HRESULT HostPropertyWriter::SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) {
  std::span<const std::uint8_t> bytes;
  if (const HRESULT result = ToBytes(data, size, bytes); FAILED(result)) return result;
  m_Properties.Set(tag, index, bytes);
  return S_OK;
}

HRESULT HostPropertyWriter::RemoveProperty(ULONG tag, ULONG index) {
  return m_Properties.Remove(tag, index) ? S_OK : S_FALSE;
}

HRESULT HostPropertyWriter::Close() {
  m_Storage.Reset();
  return S_OK;
}

HRESULT HostPropertyBag::Reset(const BYTE* data, ULONG size) {
  std::span<const std::uint8_t> bytes;
  if (const HRESULT result = ToBytes(data, size, bytes); FAILED(result)) return result;
  std::optional<PropertyStore> decoded = PropertyStore::Decode(bytes);
  if (!decoded) {
    m_Entries.Clear();
    return E_INVALID_DATA;
  }
  m_Entries = std::move(*decoded);
  return S_OK;
}

HRESULT HostPropertyBag::SaveToMemory(BYTE** data, ULONG* size) {
  return TaskCopyBytes(m_Entries.Encode(), data, size);
}

HRESULT HostPropertyBag::SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) {
  std::span<const std::uint8_t> bytes;
  if (const HRESULT result = ToBytes(data, size, bytes); FAILED(result)) return result;
  m_Entries.Set(tag, index, bytes);
  return S_OK;
}

HRESULT HostPropertyBag::GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) {
  return HandOut(m_Entries, tag, index, data, size);
}
