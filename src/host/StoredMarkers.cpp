#include "host/StoredMarkers.h"

#include <cstring>

#include "host/StreamFiles.h"

namespace {

class Writer {
 public:
  explicit Writer(std::vector<std::uint8_t>& bytes) : m_Bytes(bytes) {}
  void Put32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) m_Bytes.push_back(std::uint8_t(value >> (8 * i)));
  }
  void PutDouble(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Put32(std::uint32_t(bits));
    Put32(std::uint32_t(bits >> 32));
  }
  void PutText(const std::string& text) {
    Put32(std::uint32_t(text.size()));
    m_Bytes.insert(m_Bytes.end(), text.begin(), text.end());
  }

 private:
  std::vector<std::uint8_t>& m_Bytes;
};

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : m_Bytes(bytes) {}
  bool Get32(std::uint32_t& value) {
    if (m_Bytes.size() < 4) return false;
    value = std::uint32_t(m_Bytes[0]) | std::uint32_t(m_Bytes[1]) << 8 | std::uint32_t(m_Bytes[2]) << 16 |
            std::uint32_t(m_Bytes[3]) << 24;
    m_Bytes = m_Bytes.subspan(4);
    return true;
  }
  bool GetInt(std::int32_t& value) {
    std::uint32_t bits;
    if (!Get32(bits)) return false;
    value = static_cast<std::int32_t>(bits);
    return true;
  }
  bool GetDouble(double& value) {
    std::uint32_t low, high;
    if (!Get32(low) || !Get32(high)) return false;
    const std::uint64_t bits = std::uint64_t(high) << 32 | low;
    std::memcpy(&value, &bits, sizeof value);
    return true;
  }
  bool GetText(std::string& text) {
    std::uint32_t length;
    if (!Get32(length) || length > m_Bytes.size()) return false;
    text.assign(m_Bytes.begin(), m_Bytes.begin() + length);
    m_Bytes = m_Bytes.subspan(length);
    return true;
  }
  bool AtEnd() const { return m_Bytes.empty(); }
  std::size_t Left() const { return m_Bytes.size(); }

 private:
  std::span<const std::uint8_t> m_Bytes;
};

// The smallest encoded marker: five 32-bit values, a date and two empty texts.
constexpr std::size_t kSmallestMarker = 4 * 4 + 8 + 2 * 4;

}  // namespace

void AppendMarker(std::vector<std::uint8_t>& bytes, const StoredMarker& marker) {
  Writer out(bytes);
  out.Put32(std::uint32_t(marker.position));
  out.Put32(std::uint32_t(marker.points));
  out.Put32(std::uint32_t(marker.channel));
  out.Put32((marker.flag ? 1u : 0u) | (marker.hasDate ? 2u : 0u));
  out.PutDouble(marker.date);
  out.PutText(marker.type);
  out.PutText(marker.description);
}

void SetMarkerCount(std::vector<std::uint8_t>& bytes, std::uint32_t count) {
  if (bytes.size() < 4) bytes.resize(4);
  for (int i = 0; i < 4; ++i) bytes[std::size_t(i)] = std::uint8_t(count >> (8 * i));
}

std::vector<std::uint8_t> EncodeMarkers(const std::vector<StoredMarker>& markers) {
  std::vector<std::uint8_t> bytes;
  SetMarkerCount(bytes, std::uint32_t(markers.size()));
  for (const StoredMarker& marker : markers) AppendMarker(bytes, marker);
  return bytes;
}

std::optional<std::vector<StoredMarker>> DecodeMarkers(std::span<const std::uint8_t> bytes) {
  Reader in(bytes);
  std::uint32_t count;
  if (!in.Get32(count) || count > in.Left() / kSmallestMarker) return std::nullopt;
  std::vector<StoredMarker> markers(count);
  for (StoredMarker& marker : markers) {
    std::uint32_t flags;
    if (!in.GetInt(marker.position) || !in.GetInt(marker.points) || !in.GetInt(marker.channel) || !in.Get32(flags) ||
        !in.GetDouble(marker.date) || !in.GetText(marker.type) || !in.GetText(marker.description))
      return std::nullopt;
    marker.flag = flags & 1;
    marker.hasDate = flags & 2;
  }
  if (!in.AtEnd()) return std::nullopt;
  return markers;
}

std::optional<std::vector<StoredMarker>> ReadStoredMarkers(IStorage* storage) {
  std::vector<std::uint8_t> bytes;
  const HRESULT result = ReadWholeStream(storage, kHostMarkersStream, bytes);
  if (result == STG_E_FILENOTFOUND) return std::vector<StoredMarker>();
  if (FAILED(result)) return std::nullopt;
  return DecodeMarkers(bytes);
}
