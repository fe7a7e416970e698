#include "host/PropertyStore.h"

namespace {

void PutUint32(PropertyStore::Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

std::uint32_t GetUint32(const std::uint8_t* in) {
  return std::uint32_t(in[0]) | std::uint32_t(in[1]) << 8 | std::uint32_t(in[2]) << 16 | std::uint32_t(in[3]) << 24;
}

}  // namespace

void PropertyStore::Set(ULONG tag, ULONG index, std::span<const std::uint8_t> bytes) {
  m_Entries[{tag, index}] = Bytes(bytes.begin(), bytes.end());
}

const PropertyStore::Bytes* PropertyStore::Find(ULONG tag, ULONG index) const {
  const auto found = m_Entries.find({tag, index});
  return found == m_Entries.end() ? nullptr : &found->second;
}

bool PropertyStore::Remove(ULONG tag, ULONG index) { return m_Entries.erase({tag, index}) != 0; }

PropertyStore::Bytes PropertyStore::Encode() const {
  Bytes out;
  for (const auto& [key, bytes] : m_Entries) {
    PutUint32(out, key.first);
    PutUint32(out, key.second);
    PutUint32(out, std::uint32_t(bytes.size()));
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

std::optional<PropertyStore> PropertyStore::Decode(std::span<const std::uint8_t> bytes) {
  PropertyStore store;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    if (bytes.size() - offset < 12) return std::nullopt;
    const std::uint32_t tag = GetUint32(&bytes[offset]);
    const std::uint32_t index = GetUint32(&bytes[offset + 4]);
    const std::uint32_t size = GetUint32(&bytes[offset + 8]);
    offset += 12;
    if (size > bytes.size() - offset || store.Find(tag, index)) return std::nullopt;
    store.Set(tag, index, bytes.subspan(offset, size));
    offset += size;
  }
  return store;
}
