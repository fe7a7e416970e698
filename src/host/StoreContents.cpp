#include "host/StoreContents.h"

#include "contract/DataType.h"
#include "contract/HostInterfaces.h"
#include "contract/Tags.h"
#include "host/HostToolbox.h"
#include "host/StreamFiles.h"
#include "platform/ComRuntime.h"

namespace {

std::optional<std::vector<std::uint8_t>> StreamBytes(IStorage* storage, LPCOLESTR name) {
  std::vector<std::uint8_t> bytes;
  if (FAILED(ReadWholeStream(storage, name, bytes))) return std::nullopt;
  return bytes;
}

std::optional<std::string> Text(IStorage* storage, LPCOLESTR name) {
  const auto bytes = StreamBytes(storage, name);
  if (!bytes) return std::nullopt;
  const std::string text(bytes->begin(), bytes->end());
  return text.substr(0, text.find('\0'));
}

std::string TextOf(const PropertyStore::Bytes* bytes) {
  if (!bytes) return {};
  const std::string text(bytes->begin(), bytes->end());
  return text.substr(0, text.find('\0'));
}

WideString WideTextOf(const PropertyStore::Bytes& bytes) {
  WideString text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const WCHAR c = WCHAR(bytes[i] | bytes[i + 1] << 8);
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::optional<PropertyStore> Bag(const std::vector<std::uint8_t>& bytes) { return PropertyStore::Decode(bytes); }

}  // namespace

std::int64_t StoreContents::ValuesPerPoint() const {
  const std::uint16_t dataType = Get<std::uint16_t>(recording, property_tag::kDataType).value_or(0);
  const std::int32_t layers = Get<std::int32_t>(recording, property_tag::kLayers).value_or(1);
  return ::ValuesPerPoint(IsComplex(dataType), layers);
}

HRESULT ReadStoreContents(IStorage* storage, StoreContents& contents) {
  ReadClassStg(storage, &contents.classId);
  ComPtr<IEnumSTATSTG> elements;
  if (SUCCEEDED(storage->EnumElements(0, nullptr, 0, elements.Receive()))) {
    STATSTG status{};
    while (elements->Next(1, &status, nullptr) == S_OK) {
      if (status.type == STGTY_STREAM) contents.streams.emplace_back(status.pwcsName, status.cbSize.QuadPart);
      CoTaskMemFree(status.pwcsName);
    }
  }
  contents.headerPath = Text(storage, OLESTR("HeaderPath"));
  contents.dataPath = Text(storage, OLESTR("DataPath"));
  contents.name = Text(storage, OLESTR("Name"));
  contents.comment = Text(storage, OLESTR("RecordingInfos"));
  if (const auto wide = StreamBytes(storage, OLESTR("RecordingInfosW"))) contents.commentW = WideTextOf(*wide);

  if (const auto bytes = StreamBytes(storage, kHostPropertiesStream)) {
    std::optional<PropertyStore> recording = Bag(*bytes);
    if (!recording) return E_INVALID_DATA;
    contents.recording = std::move(*recording);
  }
  for (const auto& [key, bytes] : contents.recording.Entries()) {
    if (key.first != property_tag::kChannel) continue;
    const std::optional<PropertyStore> description = Bag(bytes);
    if (!description) return E_INVALID_DATA;
    StoredChannel channel;
    channel.name = TextOf(description->Find(channel_tag::kName));
    channel.reference = TextOf(description->Find(channel_tag::kReference));
    channel.unitCode = StoreContents::Get<std::int32_t>(*description, channel_tag::kUnit);
    if (const PropertyStore::Bytes* unit = description->Find(channel_tag::kUnitText))
      channel.unitText = WideTextOf(*unit);
    if (const PropertyStore::Bytes* place = description->Find(channel_tag::kCoordinates); place && place->size() >= 12)
      std::memcpy(channel.coordinates, place->data(), 12);
    contents.channels.push_back(std::move(channel));
  }
  std::optional<std::vector<StoredMarker>> markers = ReadStoredMarkers(storage);
  if (!markers) return E_INVALID_DATA;
  contents.markers = std::move(*markers);
  if (const auto bytes = StreamBytes(storage, OLESTR("InternalData"))) {
    contents.internalData = Bag(*bytes);
    if (!contents.internalData) return E_INVALID_DATA;
  }
  return S_OK;
}
