// Opening a stored recording again: its data path, its properties and the reader's layout values.
#include <algorithm>
#include <cstring>
#include <memory>

#include "component/EEGFileReader.h"
#include "component/TaggedStream.h"
#include "contract/DataType.h"
#include "contract/Diagnostics.h"
#include "description/Properties.h"
#include "header/PathFunctions.h"
#include "header/TextRules.h"
#include "platform/ComRuntime.h"
#include "platform/Files.h"
#include "readers/SampleReader.h"

namespace {

// The path in "DataPath": the text up to its first 0 byte, at most 999 bytes.
std::string ReadDataPath(IStorage* storage) {
  ComPtr<IStream> stream;
  ThrowIfFailed(
      storage->OpenStream(OLESTR("DataPath"), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive()));
  char buffer[1000] = {};
  ULONG read = 0;
  ThrowIfFailed(stream->Read(buffer, 999, &read));
  return std::string(buffer, strnlen(buffer, std::min<ULONG>(read, 999)));
}

// A stored path that names a header: its data file replaces it in "DataPath" from now on.
std::string DataFileOfHeader(IStorage* storage, const std::string& headerPath) {
  CHeaderFile header;
  if (header.Load(headerPath) != HEADER_PARSED) AfxThrowOleException(E_FAIL);
  if (!PathExists(header.m_DataFile)) AfxThrowOleException(GDR_E_DATA_FILE);
  ComPtr<IStream> stream;
  ThrowIfFailed(storage->CreateStream(OLESTR("DataPath"), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                      stream.Receive()));
  ThrowIfFailed(stream->Write(header.m_DataFile.c_str(), ULONG(header.m_DataFile.size() + 1), nullptr));
  return header.m_DataFile.substr(0, 999);
}

// A stored property: `fallback` when absent; a present one shorter than the value fails.
template <typename Value>
Value ReadProperty(IHostPropertyWriter& properties, ULONG tag, Value fallback) {
  BYTE* data = nullptr;
  ULONG size = 0;
  const HRESULT result = ThrowIfFailed(properties.GetProperty(tag, 0, &data, &size));
  const TaskMemory<BYTE> owned(data);
  if (result != S_OK) return fallback;
  if (size < sizeof(Value) || !data) AfxThrowOleException(E_FAIL);
  Value value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

}  // namespace

HRESULT CEEGFileReader::LoadFromStorageGuarded(IStorage* storage, LONG option) {
  if (!storage) return E_POINTER;
  std::string path = ReadDataPath(storage);
  if (HasHeaderExtension(path)) path = DataFileOfHeader(storage, path);

  m_pHostData.Reset();
  ThrowIfFailed(CoCreateInstance(CLSID_HostData, nullptr, CLSCTX_ALL, IidOf<IEEGData>(), m_pHostData.ReceiveVoid()));
  ThrowIfFailed(m_pHostData->LoadFromStorage(storage, option));
  ComPtr<IHostPropertyWriter> properties;
  ThrowIfFailed(GetProperties(properties.Receive()));

  using namespace property_tag;
  const std::int32_t channels = ReadProperty<std::int32_t>(*properties, kChannels, 0);
  const std::int32_t dataPoints = ReadProperty<std::int32_t>(*properties, kDataPoints, 0);
  std::uint16_t dataType = ReadProperty<std::uint16_t>(*properties, kDataType, TIMEDOMAIN);
  if (dataType == 0) dataType = TIMEDOMAIN;
  const std::int32_t layers = ReadProperty<std::int32_t>(*properties, kLayers, 1);
  std::uint32_t unit = ReadProperty<std::uint32_t>(*properties, kUnit, 0);
  if (unit > 5) unit = 0;
  ThrowIfFailed(properties->SetProperty(kUnit, 0, &unit, sizeof unit));

  CInternalData internal;
  internal.ReadFromStorage(storage);
  m_pReader.reset();
  HRESULT opened = S_OK;
  m_pReader = OpenSampleReader(path, channels, dataPoints, internal.m_Resolutions, IsComplex(dataType), layers,
                               internal.m_Layout, opened);
  return opened;
}
