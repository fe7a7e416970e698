#include "gdr/Recording.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <mutex>

#include "contract/DataType.h"
#include "contract/ResultCodes.h"
#include "contract/Tags.h"
#include "host/StoreContents.h"
#include "library/LibraryHost.h"
#include "platform/AsciiCase.h"
#include "platform/ComRuntime.h"
#include "platform/CompoundFile.h"
#include "platform/Conversions.h"
#include "platform/FileReplace.h"
#include "platform/MemoryStorage.h"

namespace gdr {

using namespace library;

namespace {

// Floats that one chunk of a read holds at most: a read needs no more memory, however long.
constexpr std::int64_t kChunkFloats = 1 << 20;

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// OpenRawFile of a header given by its UTF-8 path.
ComPtr<IEEGRawFileReader> OpenHeader(const Call& call, const std::string& header) {
  if (!FitsAnsi(header)) Refuse(BeyondAnsiText(header));
  ComPtr<IEEGRawFileReader> reader = NewReader<IEEGRawFileReader>(call);
  LONG opened = 0;
  const HRESULT result = reader->OpenRawFile(Utf8ToAnsiText(header).c_str(), &opened);
  if (result == GDR_S_NOT_THIS_FORMAT) call.Fail(result, "not a header file of this format: " + header);
  if (result != S_OK) call.Fail(FAILED(result) ? result : E_FAIL, "OpenRawFile failed: " + HexCode(result));
  return reader;
}

// The storage of a recording: a store (a compound file, whatever its name), or a header imported
// into memory. A store is opened as the reader object needs it, but never committed: reading
// changes nothing on disk.
ComPtr<IStorage> OpenStorage(const Call& call, const std::string& path) {
  ComPtr<IStorage> storage;
  const HRESULT opened = StgOpenStorage(Utf8ToWide(path).c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                        nullptr, 0, storage.Receive());
  if (SUCCEEDED(opened)) return storage;
  if (path.size() < 5 || !EqualsNoCase(std::string_view(path).substr(path.size() - 5), ".shdr"))
    call.Fail(opened, path + " is no readable store: " + HexCode(opened));
  const ComPtr<IEEGRawFileReader> reader = OpenHeader(call, path);
  call.Check(CreateMemoryStorage(storage.Receive()), "CreateMemoryStorage");
  call.Check(reader->CreateStorageEntries(storage.Get(), 0), "CreateStorageEntries");
  return storage;
}

// The unit of a channel: its own text, or that of the host's unit code.
std::string UnitText(const StoredChannel& channel, std::int32_t commonCode) {
  if (channel.unitText) return WideToUtf8(*channel.unitText);
  static constexpr const char* kUnits[] = {"\u00B5V",        "", "\u00B5V/Hz", "\u00B5V\u00B2", "\u00B5V\u00B2/Hz",
                                           "\u00B5V/m\u00B2"};
  const std::int32_t code = channel.unitCode.value_or(commonCode);
  return code >= 0 && code < std::int32_t(std::size(kUnits)) ? kUnits[code] : "";
}

}  // namespace

struct Recording::State {
  ComPtr<IStorage> storage;
  ComPtr<IEEGData> reader;
  std::vector<Channel> channels;
  std::vector<Marker> markers;
  std::int64_t dataPoints = 0;
  std::int32_t layers = 1;
  std::uint16_t dataType = 0;
  std::uint16_t segmentation = 0;
  SampleFormat format = SampleFormat::ascii;
  double samplingInterval = 0;
  std::string comment;
  std::string dataFile;
  std::mutex reading;  // the reader object reads for one caller at a time

  void Describe(const Call& call, const StoreContents& store);
  std::int64_t ValuesPerPoint() const { return ::ValuesPerPoint(IsComplex(dataType), layers); }
  // The channels as the component takes them; an unknown one is refused.
  std::vector<LONG> Selection(std::span<const int> selected) const;
  // The floats a read of `count` points of the selection gives; a buffer of another size is refused.
  std::size_t ReadSize(std::int64_t count, std::size_t selected) const;
  // GetData of `count` points from `first`, both within the recording.
  TaskMemory<float> GetData(const Call& call, std::int64_t first, std::int64_t count,
                            const std::vector<LONG>& channels) const;
};

void Recording::State::Describe(const Call& call, const StoreContents& store) {
  using namespace property_tag;
  const PropertyStore& r = store.recording;
  const std::int32_t channelCount = StoreContents::Get<std::int32_t>(r, kChannels).value_or(0);
  // Every channel has its description in a store: a count beyond them is no recording's.
  if (std::size_t(std::max(channelCount, 0)) != store.channels.size())
    call.Fail(E_INVALID_DATA, "the store declares " + std::to_string(channelCount) + " channels but describes " +
                                  std::to_string(store.channels.size()));
  dataPoints = StoreContents::Get<std::int32_t>(r, kDataPoints).value_or(0);
  layers = StoreContents::Get<std::int32_t>(r, kLayers).value_or(1);
  dataType = StoreContents::Get<std::uint16_t>(r, kDataType).value_or(0);
  segmentation = StoreContents::Get<std::uint16_t>(r, kSegmentation).value_or(0);
  samplingInterval = StoreContents::Get<double>(r, kSamplingInterval).value_or(0);
  if (store.internalData)
    format = SampleFormat(
        StoreContents::Get<std::int32_t>(*store.internalData, internal_data_tag::kSampleFormat).value_or(0));
  comment = store.commentW ? WideToUtf8(*store.commentW) : AnsiToUtf8(store.comment.value_or(""));
  dataFile = AnsiToUtf8(store.dataPath.value_or(""));
  // The component separates folders with "\" on every platform.
  if (std::filesystem::path::preferred_separator == '/') std::replace(dataFile.begin(), dataFile.end(), '\\', '/');

  const std::int32_t commonUnit = StoreContents::Get<std::int32_t>(r, kUnit).value_or(0);
  for (std::size_t i = 0; i < store.channels.size(); ++i) {
    const StoredChannel& stored = store.channels[i];
    Channel& channel = channels.emplace_back();
    channel.name = AnsiToUtf8(stored.name);
    channel.reference = AnsiToUtf8(stored.reference);
    channel.unit = UnitText(stored, commonUnit);
    if (store.internalData)
      channel.resolution =
          StoreContents::Get<float>(*store.internalData, internal_data_tag::kResolution, ULONG(i)).value_or(1.0f);
    const float* place = stored.coordinates;
    // Zeros are what a channel without coordinates, and with a label of no standard position, has.
    if (place[0] != 0 || place[1] != 0 || place[2] != 0)
      channel.coordinates = Coordinates{place[0], place[1], place[2]};
  }
  for (const StoredMarker& stored : store.markers) {
    Marker& marker = markers.emplace_back();
    marker.type = AnsiToUtf8(stored.type);
    marker.description = AnsiToUtf8(stored.description);
    marker.position = stored.position;
    marker.points = stored.points;
    marker.channel = stored.channel;
    if (stored.hasDate)
      if (const auto time = OleDateToTime(stored.date))
        marker.date = std::chrono::time_point_cast<std::chrono::system_clock::duration>(*time);
  }
}

std::vector<LONG> Recording::State::Selection(std::span<const int> selected) const {
  std::vector<LONG> channelList;
  for (const int channel : selected) {
    if (channel < 0 || std::size_t(channel) >= channels.size())
      Refuse("no channel " + std::to_string(channel) + " (the recording has " + std::to_string(channels.size()) +
             " channels)");
    channelList.push_back(LONG(channel));
  }
  return channelList;
}

std::size_t Recording::State::ReadSize(std::int64_t count, std::size_t selected) const {
  const std::size_t perPoint = (selected ? selected : channels.size()) * std::size_t(ValuesPerPoint());
  if (count > 0 && perPoint > std::numeric_limits<std::size_t>::max() / std::size_t(count))
    Refuse("a read of " + std::to_string(count) + " data points does not fit into memory");
  return std::size_t(count) * perPoint;
}

TaskMemory<float> Recording::State::GetData(const Call& call, std::int64_t first, std::int64_t count,
                                            const std::vector<LONG>& channelList) const {
  float* block = nullptr;
  const HRESULT result = reader->GetData(LONG(first), LONG(count), &block,
                                         channelList.empty() ? nullptr : channelList.data(), LONG(channelList.size()));
  TaskMemory<float> owned(block);
  call.Check(result, "GetData");
  return owned;
}

Block& Block::operator=(Block&& other) noexcept {
  if (this != &other) {
    Free(m_Data);
    m_Size = other.m_Size;
    m_Data = other.release();
  }
  return *this;
}

void Block::Free(float* data) { CoTaskMemFree(data); }

Recording::Recording(std::unique_ptr<State> state) : m_State(std::move(state)) {}
Recording::Recording(Recording&&) noexcept = default;
Recording& Recording::operator=(Recording&&) noexcept = default;
Recording::~Recording() = default;

Recording Recording::Open(const std::string& path) {
  const Call call(path);
  auto state = std::make_unique<State>();
  state->storage = OpenStorage(call, path);
  StoreContents store;
  if (const HRESULT read = ReadStoreContents(state->storage.Get(), store); FAILED(read))
    call.Fail(read, "the host's data in this store are damaged: " + HexCode(read));
  state->Describe(call, store);
  state->reader = NewReader<IEEGData>(call);
  call.Check(state->reader->LoadFromStorage(state->storage.Get(), 0), "LoadFromStorage");
  return Recording(std::move(state));
}

void Recording::Import(const std::string& header, const std::string& store) {
  const Call call(header);
  const ComPtr<IEEGRawFileReader> reader = OpenHeader(call, header);
  // The new store is written beside the old one and replaces it only when everything succeeded.
  const std::string temporary = store + ".importing";
  ComPtr<IStorage> storage;
  const HRESULT made = StgCreateDocfile(Utf8ToWide(temporary).c_str(),
                                        STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.Receive());
  if (FAILED(made)) call.Fail(made, "cannot create " + store + ": " + HexCode(made));
  const char* failed = nullptr;
  HRESULT code = reader->CreateStorageEntries(storage.Get(), 0);
  if (FAILED(code))
    failed = "CreateStorageEntries";
  else if (FAILED(code = storage->Commit(STGC_DEFAULT)))
    failed = "Commit";
  storage.Reset();
  // The store keeps the permissions of the one it replaces.
  if (!failed && RenameOver(temporary, store)) return;
  std::error_code error;
  std::filesystem::remove(PathOf(temporary), error);
  call.Fail(failed ? code : E_FAIL,
            failed ? std::string(failed) + " failed: " + HexCode(code) : "cannot write " + store);
}

const std::vector<Channel>& Recording::Channels() const { return m_State->channels; }
const std::vector<Marker>& Recording::Markers() const { return m_State->markers; }
std::int64_t Recording::DataPoints() const { return m_State->dataPoints; }
std::int64_t Recording::ValuesPerPoint() const { return m_State->ValuesPerPoint(); }
std::int32_t Recording::Layers() const { return m_State->layers; }
bool Recording::Complex() const { return IsComplex(m_State->dataType); }
double Recording::SamplingInterval() const { return m_State->samplingInterval; }
double Recording::SamplingRate() const { return 1e6 / m_State->samplingInterval; }
std::uint16_t Recording::DataType() const { return m_State->dataType; }
std::uint16_t Recording::Segmentation() const { return m_State->segmentation; }
SampleFormat Recording::Format() const { return m_State->format; }
const std::string& Recording::Comment() const { return m_State->comment; }
const std::string& Recording::DataFile() const { return m_State->dataFile; }

std::vector<int> Recording::ChannelIndices(std::span<const std::string> names) const {
  std::vector<int> indices;
  for (const std::string& name : names) {
    const auto found = std::find_if(m_State->channels.begin(), m_State->channels.end(),
                                    [&](const Channel& channel) { return channel.name == name; });
    if (found == m_State->channels.end())
      Refuse("no channel " + name + " (the recording has " + std::to_string(m_State->channels.size()) + " channels)");
    indices.push_back(int(found - m_State->channels.begin()));
  }
  return indices;
}

std::int64_t Recording::CheckedRange(std::int64_t first, std::optional<std::int64_t> count) const {
  const std::int64_t points = m_State->dataPoints;
  const bool inside = first >= 0 && first <= points && (!count || (*count >= 0 && *count <= points - first));
  if (!inside)
    Refuse("from " + std::to_string(first) + ", " + (count ? "count " + std::to_string(*count) : "to the end") +
           " lies outside the recording's " + std::to_string(points) + " data points");
  return count ? *count : points - first;
}

std::size_t Recording::ReadSize(std::int64_t count, std::span<const int> channels) const {
  return m_State->ReadSize(count, m_State->Selection(channels).size());
}

void Recording::Read(std::int64_t first, std::int64_t count, std::span<const int> channels,
                     std::span<float> out) const {
  const std::vector<LONG> channelList = m_State->Selection(channels);
  CheckedRange(first, count);
  const std::size_t size = m_State->ReadSize(count, channelList.size());
  if (out.size() != size)
    Refuse("the buffer holds " + std::to_string(out.size()) + " values; the read gives " + std::to_string(size));
  if (size == 0) return;
  const std::int64_t perPoint = std::int64_t(size / std::size_t(count));
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkFloats / perPoint);
  const Call call;
  const std::lock_guard lock(m_State->reading);
  for (std::int64_t done = 0; done < count; done += chunk) {
    const std::int64_t n = std::min(chunk, count - done);
    const TaskMemory<float> block = m_State->GetData(call, first + done, n, channelList);
    std::copy_n(block.get(), n * perPoint, out.begin() + done * perPoint);
  }
}

Block Recording::ReadBlock(std::int64_t first, std::int64_t count, std::span<const int> channels) const {
  const std::vector<LONG> channelList = m_State->Selection(channels);
  CheckedRange(first, count);
  const std::size_t size = m_State->ReadSize(count, channelList.size());
  if (size == 0) return Block();
  const Call call;
  const std::lock_guard lock(m_State->reading);
  return Block(m_State->GetData(call, first, count, channelList).release(), size);
}

}  // namespace gdr
