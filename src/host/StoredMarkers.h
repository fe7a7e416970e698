#pragma once
// The marker list as the host's marker writer keeps it, in the stream "HostMarkers" of a recording:
//     count (uint32), then per marker: position (int32), points (int32), channel (int32),
//     flags (uint32: 1 the marker's flag, 2 it has a date), date (float64),
//     type length (uint32) and bytes, description length (uint32) and bytes,
// all little-endian; texts are ANSI without a terminating 0.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Storage.h"

struct StoredMarker {
  std::int32_t position = 0;
  std::int32_t points = 1;
  std::int32_t channel = -1;
  bool flag = false;
  bool hasDate = false;
  double date = 0.0;
  std::string type;
  std::string description;

  friend bool operator==(const StoredMarker&, const StoredMarker&) = default;
};

inline constexpr LPCOLESTR kHostMarkersStream = OLESTR("HostMarkers");

std::vector<std::uint8_t> EncodeMarkers(const std::vector<StoredMarker>& markers);
// The encoding built marker by marker: the count in front (made room for when missing), then each
// marker appended.
void SetMarkerCount(std::vector<std::uint8_t>& bytes, std::uint32_t count);
void AppendMarker(std::vector<std::uint8_t>& bytes, const StoredMarker& marker);
std::optional<std::vector<StoredMarker>> DecodeMarkers(std::span<const std::uint8_t> bytes);
// The markers stored in a recording; an empty list when it has none, nothing when they are damaged.
std::optional<std::vector<StoredMarker>> ReadStoredMarkers(IStorage* storage);
