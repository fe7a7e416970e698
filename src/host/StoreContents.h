#pragma once
// Everything a recording's store holds, decoded: the component's streams, the host's properties and
// markers, and the reader's internal data.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "host/PropertyStore.h"
#include "host/StoredMarkers.h"
#include "platform/Storage.h"

struct StoredChannel {
  std::string name;       // ANSI
  std::string reference;  // ANSI
  std::optional<std::int32_t> unitCode;
  std::optional<WideString> unitText;
  float coordinates[3] = {0, 0, 0};
};

struct StoreContents {
  CLSID classId = GUID_NULL;
  std::vector<std::pair<WideString, std::uint64_t>> streams;
  std::optional<std::string> headerPath, dataPath, name, comment;  // ANSI, up to the first 0
  std::optional<WideString> commentW;
  PropertyStore recording;  // the host's recording properties
  std::vector<StoredChannel> channels;
  std::vector<StoredMarker> markers;
  std::optional<PropertyStore> internalData;

  // A stored value of a property store, when it is there and long enough.
  template <typename Value>
  static std::optional<Value> Get(const PropertyStore& store, ULONG tag, ULONG index = 0) {
    const PropertyStore::Bytes* bytes = store.Find(tag, index);
    if (!bytes || bytes->size() < sizeof(Value)) return std::nullopt;
    Value value;
    std::memcpy(&value, bytes->data(), sizeof value);
    return value;
  }
  // Numbers stored per channel and data point: complex data hold two, times the layers.
  std::int64_t ValuesPerPoint() const;
};

// Decodes the store; a store whose host streams are damaged gives E_INVALID_DATA.
HRESULT ReadStoreContents(IStorage* storage, StoreContents& contents);
