#pragma once
// Tagged properties as the host keeps them: bytes under a tag and an index.
//
// Their encoding, used by the property bag's SaveToMemory and Reset and by the property writer's
// stream "HostProperties": the entries one after the other in (tag, index) order, each
//     tag (uint32), index (uint32), size (uint32), then `size` bytes,
// all little-endian, with no header and no padding; an empty store encodes to no bytes.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/WinTypes.h"

class PropertyStore {
 public:
  using Bytes = std::vector<std::uint8_t>;

  void Set(ULONG tag, ULONG index, std::span<const std::uint8_t> bytes);
  const Bytes* Find(ULONG tag, ULONG index = 0) const;
  bool Remove(ULONG tag, ULONG index);
  void Clear() { m_Entries.clear(); }
  std::size_t Size() const { return m_Entries.size(); }
  const std::map<std::pair<ULONG, ULONG>, Bytes>& Entries() const { return m_Entries; }

  Bytes Encode() const;
  // Nothing for bytes that are no valid encoding: a cut entry, a size past the end, a repeated entry.
  static std::optional<PropertyStore> Decode(std::span<const std::uint8_t> bytes);

 private:
  std::map<std::pair<ULONG, ULONG>, Bytes> m_Entries;
};
