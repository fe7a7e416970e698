#pragma once
// gdr::Recording: an EEG recording of the generic data format, opened from its header (.shdr) or
// from a store written by Recording::Import, described in UTF-8 and read into the caller's buffers.
//
// The samples come from the reader component, loaded from beside this library. Every failure is a
// gdr::Error with the result code and the messages the component showed during the call (those of a
// call that succeeds are not kept); the library prints nothing. A Recording may be used from several
// threads: its reads take turns; separate Recordings read in parallel. A moved-from Recording may
// only be assigned to or destroyed.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#if defined(GDR_BUILDING_LIBRARY)
#define GDR_API __declspec(dllexport)
#else
#define GDR_API __declspec(dllimport)
#endif
#else
#define GDR_API __attribute__((visibility("default")))
#endif

namespace gdr {

// The result code of a refusal by this library itself (E_INVALIDARG).
inline constexpr std::int32_t kInvalidArgument = std::int32_t(0x80070057);

class GDR_API Error : public std::runtime_error {
 public:
  Error(std::int32_t code, const std::string& message, const std::string& shown = {}, const std::string& context = {})
      : std::runtime_error(message), m_Code(code), m_Shown(shown), m_Context(context.empty() ? message : context) {}
  // The result code (an HRESULT).
  std::int32_t code() const noexcept { return m_Code; }
  // The component's messages exactly as it showed them to its host, one a line ("PATH:message");
  // empty when it showed none.
  const std::string& shown() const noexcept { return m_Shown; }
  // The library's own account of the failure ("OpenRawFile failed: 0x80041003 (...)"); what() when the
  // component showed nothing.
  const std::string& context() const noexcept { return m_Context; }

 private:
  std::int32_t m_Code;
  std::string m_Shown, m_Context;
};

struct Coordinates {
  float radius = 0, theta = 0, phi = 0;  // theta and phi in degrees
};

struct Channel {
  std::string name;
  std::string reference;  // empty: none given
  std::string unit;       // "µV" and the like
  double resolution = 1;  // the unit's value of one stored number
  std::optional<Coordinates> coordinates;
};

struct Marker {
  std::string type;
  std::string description;
  std::int64_t position = 0;  // the first data point, from 0
  std::int64_t points = 1;
  int channel = -1;  // -1: all channels
  std::optional<std::chrono::system_clock::time_point> date;
};

// How the data file stores the samples.
enum class SampleFormat : std::int32_t { ascii = 0, ieeeFloat32 = 1, int16 = 2, uint16 = 3, int12Packed = 4 };

// A block of samples as the component handed it over, owned until it goes (or until release(); then
// free it with Block::Free).
class GDR_API Block {
 public:
  Block() = default;
  Block(float* data, std::size_t size) : m_Data(data), m_Size(size) {}
  Block(Block&& other) noexcept : m_Data(other.m_Data), m_Size(other.m_Size) { other.m_Data = nullptr; }
  Block& operator=(Block&& other) noexcept;
  ~Block() { Free(m_Data); }

  float* data() const { return m_Data; }
  std::size_t size() const { return m_Size; }
  std::span<float> values() const { return {m_Data, m_Size}; }
  float* release() {
    float* data = m_Data;
    m_Data = nullptr;
    return data;
  }
  // Frees a block's memory (CoTaskMemFree).
  static void Free(float* data);

 private:
  float* m_Data = nullptr;
  std::size_t m_Size = 0;
};

class GDR_API Recording {
 public:
  // Opens a header (.shdr, imported into memory) or a store; the path is UTF-8.
  static Recording Open(const std::string& path);
  // Writes the recording of a header into a new store, which replaces `store` only when complete.
  static void Import(const std::string& header, const std::string& store);

  Recording(Recording&&) noexcept;
  Recording& operator=(Recording&&) noexcept;
  ~Recording();

  const std::vector<Channel>& Channels() const;
  const std::vector<Marker>& Markers() const;
  std::int64_t DataPoints() const;
  // Numbers per channel and data point: the layers, twice for complex data.
  std::int64_t ValuesPerPoint() const;
  std::int32_t Layers() const;
  bool Complex() const;
  double SamplingInterval() const;  // µs
  double SamplingRate() const;      // Hz
  std::uint16_t DataType() const;
  SampleFormat Format() const;
  std::uint16_t Segmentation() const;
  std::int64_t SegmentDataPoints() const;  // 0: not segmented
  const std::string& Comment() const;
  // The data file that the samples are read from, as the header named it (resolved to a full path).
  const std::string& DataFile() const;

  // The channels of the names, in their order; an unknown name is refused.
  std::vector<int> ChannelIndices(std::span<const std::string> names) const;
  // The number of points to read from `first`: `count`, or those up to the end when it is not given;
  // a range that does not lie within the recording is refused.
  std::int64_t CheckedRange(std::int64_t first, std::optional<std::int64_t> count) const;
  // The number of floats that a read of `count` points of the channels (empty: all) gives.
  std::size_t ReadSize(std::int64_t count, std::span<const int> channels) const;

  // Writes count × channels × values floats, point-major, into `out`, which must have exactly that size.
  void Read(std::int64_t first, std::int64_t count, std::span<const int> channels, std::span<float> out) const;
  // The same samples in the block that the component made, handed over without a copy.
  Block ReadBlock(std::int64_t first, std::int64_t count, std::span<const int> channels) const;

 private:
  struct State;
  explicit Recording(std::unique_ptr<State> state);
  std::unique_ptr<State> m_State;
};

}  // namespace gdr
