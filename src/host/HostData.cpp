#include "host/HostData.h"

#include "host/HostToolbox.h"
#include "host/StreamFiles.h"

HRESULT CHostData::LoadFromStorage(IStorage* storage, LONG /*option*/) {
  if (!storage) return E_POINTER;
  std::vector<std::uint8_t> bytes;
  HRESULT result = ReadWholeStream(storage, kHostPropertiesStream, bytes);
  if (FAILED(result)) return result;
  std::optional<PropertyStore> stored = PropertyStore::Decode(bytes);
  if (!stored) return E_INVALID_DATA;

  ComPtr<IHostPropertyWriter> properties = MakeCom<IHostPropertyWriter, CHostToolbox>();
  for (const auto& [key, value] : stored->Entries())
    if (FAILED(result = properties->SetProperty(key.first, key.second, value.data(), ULONG(value.size()))))
      return result;
  m_Properties = std::move(properties);
  return S_OK;
}

HRESULT CHostData::GetProperties(IHostPropertyWriter** properties) {
  if (!properties) return E_POINTER;
  *properties = nullptr;
  if (!m_Properties) return E_UNEXPECTED;
  *properties = ComPtr<IHostPropertyWriter>(m_Properties).Detach();
  return S_OK;
}
