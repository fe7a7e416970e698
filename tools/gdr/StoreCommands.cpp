// gdr import, gdr dump, gdr register: stores written and inspected as a host does.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Confinement.h"
#include "ReaderModule.h"
#include "Source.h"
#include "Summary.h"
#include "Text.h"
#include "contract/ResultCodes.h"
#include "contract/Tags.h"
#include "header/HeaderCodes.h"
#include "host/StoreContents.h"
#include "platform/CompoundFile.h"
#include "platform/Conversions.h"

namespace {

template <typename Value>
nlohmann::json Optional(const std::optional<Value>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json Text(const std::optional<std::string>& ansi) {
  return ansi ? nlohmann::json(AnsiToUtf8(*ansi)) : nlohmann::json(nullptr);
}

nlohmann::json ChannelJson(const StoredChannel& c) {
  return {{"name", AnsiToUtf8(c.name)},
          {"reference", AnsiToUtf8(c.reference)},
          {"unit_code", Optional(c.unitCode)},
          {"unit_text", c.unitText ? nlohmann::json(WideToUtf8(*c.unitText)) : nlohmann::json(nullptr)},
          {"coordinates", {JsonFloat(c.coordinates[0]), JsonFloat(c.coordinates[1]), JsonFloat(c.coordinates[2])}}};
}

nlohmann::json MarkerJson(const StoredMarker& m) {
  return {{"position", m.position},
          {"points", m.points},
          {"type", AnsiToUtf8(m.type)},
          {"description", AnsiToUtf8(m.description)},
          {"channel", m.channel},
          {"date", m.hasDate ? nlohmann::json(m.date) : nlohmann::json(nullptr)},
          {"flag", m.flag}};
}

// The store without its channels and markers, which are written one at a time.
nlohmann::json ContentsJson(const StoreContents& store) {
  using namespace property_tag;
  const PropertyStore& r = store.recording;
  nlohmann::json streams = nlohmann::json::object();
  for (const auto& [name, size] : store.streams) streams[WideToUtf8(name)] = size;
  nlohmann::json internal = nullptr;
  if (const std::optional<PropertyStore>& d = store.internalData) {
    namespace tag = internal_data_tag;
    nlohmann::json resolutions = nlohmann::json::array();
    for (const auto& [key, bytes] : d->Entries())
      if (key.first == tag::kResolution)
        resolutions.push_back(JsonFloat(StoreContents::Get<float>(*d, tag::kResolution, key.second).value_or(0)));
    const std::optional<char> decimal = StoreContents::Get<char>(*d, tag::kDecimalSymbol);
    internal = {{"channels", Optional(StoreContents::Get<std::int32_t>(*d, tag::kResolutionCount))},
                {"resolutions", resolutions},
                {"data_orientation", Optional(StoreContents::Get<std::int32_t>(*d, tag::kDataOrientation))},
                {"sample_format", Optional(StoreContents::Get<std::int32_t>(*d, tag::kSampleFormat))},
                {"decimal_symbol", decimal ? nlohmann::json(*decimal ? std::string(1, *decimal) : std::string())
                                           : nlohmann::json(nullptr)},
                {"skip_lines", Optional(StoreContents::Get<std::int32_t>(*d, tag::kSkipLines))},
                {"skip_columns", Optional(StoreContents::Get<std::int32_t>(*d, tag::kSkipColumns))},
                {"use_big_endian_order", Optional(StoreContents::Get<std::int32_t>(*d, tag::kUseBigEndianOrder))},
                {"data_offset", Optional(StoreContents::Get<std::int32_t>(*d, tag::kDataOffset))},
                {"channel_offset", Optional(StoreContents::Get<std::int32_t>(*d, tag::kChannelOffset))},
                {"segment_header_size", Optional(StoreContents::Get<std::int32_t>(*d, tag::kSegmentHeaderSize))},
                {"segment_data_points", Optional(StoreContents::Get<std::int32_t>(*d, tag::kSegmentDataPoints))}};
  }
  return {{"class_id", GuidToString(store.classId)},
          {"streams", streams},
          {"header_path", Text(store.headerPath)},
          {"data_path", Text(store.dataPath)},
          {"name", Text(store.name)},
          {"comment", Text(store.comment)},
          {"comment_w", store.commentW ? nlohmann::json(WideToUtf8(*store.commentW)) : nlohmann::json(nullptr)},
          {"recording",
           {{"data_type", Optional(StoreContents::Get<std::uint16_t>(r, kDataType))},
            {"channels", Optional(StoreContents::Get<std::int32_t>(r, kChannels))},
            {"sampling_interval", Optional(StoreContents::Get<double>(r, kSamplingInterval))},
            {"segmentation_type", Optional(StoreContents::Get<std::uint16_t>(r, kSegmentation))},
            {"averaged_segments", Optional(StoreContents::Get<std::int32_t>(r, kAveragedSegments))},
            {"tag105", Optional(StoreContents::Get<std::int32_t>(r, kAveragingStart))},
            {"time_zero", Optional(StoreContents::Get<double>(r, kTimeZero))},
            {"segment_data_points", Optional(StoreContents::Get<double>(r, kSegmentPoints))},
            {"data_points", Optional(StoreContents::Get<std::int32_t>(r, kDataPoints))},
            {"layers", Optional(StoreContents::Get<std::int32_t>(r, kLayers))},
            {"layer_lower_limit", Optional(StoreContents::Get<double>(r, kLayerLowerLimit))},
            {"layer_upper_limit", Optional(StoreContents::Get<double>(r, kLayerUpperLimit))},
            {"layer_function", Optional(StoreContents::Get<std::int32_t>(r, kLayerFunction))},
            {"unit_code", Optional(StoreContents::Get<std::int32_t>(r, kUnit))}}},
          {"internal_data", internal}};
}

void PrintContents(const nlohmann::json& j, const StoreContents& store) {
  auto text = [](const nlohmann::json& value) {
    return value.is_null()     ? std::string("-")
           : value.is_string() ? EscapeControls(value.get<std::string>())
                               : value.dump();
  };
  std::printf("Class          %s\n", j["class_id"].get<std::string>().c_str());
  std::printf("Header         %s\nData           %s\n", text(j["header_path"]).c_str(), text(j["data_path"]).c_str());
  const auto& r = j["recording"];
  std::printf("Recording      %s channels, %s data points, sampling interval %s us, data type %s\n",
              text(r["channels"]).c_str(), text(r["data_points"]).c_str(), text(r["sampling_interval"]).c_str(),
              text(r["data_type"]).c_str());
  std::printf("Channels      ");
  for (const StoredChannel& c : store.channels) std::printf(" %s", EscapeControls(AnsiToUtf8(c.name)).c_str());
  std::printf("\nMarkers        %zu\n", store.markers.size());
  for (std::size_t i = 0; i < store.markers.size(); ++i) {
    if (i == 8) {
      std::printf("  ...\n");
      break;
    }
    const StoredMarker& m = store.markers[i];
    std::printf("  %8d  %-12s %s\n", int(m.position), EscapeControls(AnsiToUtf8(m.type)).c_str(),
                EscapeControls(AnsiToUtf8(m.description)).c_str());
  }
  if (!j["comment_w"].is_null()) std::printf("Comment\n%s\n", EscapeLines(j["comment_w"].get<std::string>()).c_str());
  std::printf("Streams       ");
  for (const auto& [name, size] : j["streams"].items())
    std::printf(" %s (%s)", EscapeControls(name).c_str(), size.dump().c_str());
  std::printf("\n");
}

HRESULT OpenStore(const std::string& path, ComPtr<IStorage>& storage) {
  return StgOpenStorage(Utf8ToWide(path).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                        storage.Receive());
}

// The store's contents; false after one "gdr: " line when it could not be opened or decoded.
bool ReadStore(const std::string& path, HRESULT opened, IStorage* storage, StoreContents& contents) {
  if (FAILED(opened)) {
    Complain(path +
             (opened == STG_E_FILEALREADYEXISTS ? " is not a store (a compound file): "
              : opened == STG_E_FILENOTFOUND    ? " does not exist: "
                                                : " is damaged or cannot be read: ") +
             HexCode(opened));
    return false;
  }
  if (const HRESULT read = ReadStoreContents(storage, contents); FAILED(read)) {
    Complain(path + ": the host's data in this store are damaged: " + HexCode(read));
    return false;
  }
  return true;
}

void WriteJson(const StoreContents& contents) {
  std::fputs((JsonMembers(ContentsJson(contents), 0) + ",\n  \"channels\": ").c_str(), stdout);
  WriteJsonArray(
      stdout, contents.channels.size(), [&](std::size_t i) { return ChannelJson(contents.channels[i]); }, 1);
  std::fputs(",\n  \"markers\": ", stdout);
  WriteJsonArray(
      stdout, contents.markers.size(), [&](std::size_t i) { return MarkerJson(contents.markers[i]); }, 1);
  std::fputs("\n}\n", stdout);
}

RecordingSummary StoreSummary(const StoreContents& store) {
  namespace tag = internal_data_tag;
  auto layout = [&](ULONG index) {
    return store.internalData ? StoreContents::Get<std::int32_t>(*store.internalData, index).value_or(0) : 0;
  };
  const PropertyStore& r = store.recording;
  return RecordingSummary{
      .dataFile = AnsiToUtf8(store.dataPath.value_or("")),
      .markerFile = "",
      .sampleFormat = std::uint32_t(layout(tag::kSampleFormat)),
      .vectorized = layout(tag::kDataOrientation) == VECTORIZED,
      .bigEndian = layout(tag::kUseBigEndianOrder) != 0,
      .segmentDataPoints = layout(tag::kSegmentDataPoints),
      .samplingInterval = StoreContents::Get<double>(r, property_tag::kSamplingInterval).value_or(0),
      .dataPoints = StoreContents::Get<std::int32_t>(r, property_tag::kDataPoints).value_or(0),
      .markers = store.markers.size(),
      .channelCount = store.channels.size(),
      .channel =
          [&store](std::size_t i) {
            const StoredChannel& c = store.channels[i];
            const std::optional<PropertyStore>& d = store.internalData;
            const float resolution = d ? StoreContents::Get<float>(*d, tag::kResolution, ULONG(i)).value_or(0) : 0;
            return SummaryChannel{AnsiToUtf8(c.name), AnsiToUtf8(c.reference), resolution,
                                  UnitShown(c.unitText.value_or(WideString()), c.unitCode.value_or(0))};
          },
      .comment = store.commentW ? WideToUtf8(*store.commentW) : ""};
}

}  // namespace

int RunImport(const ImportOptions& options) {
  try {
    ImportRecording(options.header, options.store, options.confine);
    return 0;
  } catch (const gdr::Error& error) {
    return Report(error);
  }
}

int RunDump(const DumpOptions& options) {
  ComPtr<IStorage> storage;
  const HRESULT opened = OpenStore(options.store, storage);
  StoreContents contents;
  if (!ReadStore(options.store, opened, storage.Get(), contents)) return 2;
  if (options.json)
    WriteJson(contents);
  else
    PrintContents(ContentsJson(contents), contents);
  return 0;
}

std::optional<int> InfoOfStore(const std::string& path, bool json, bool confine) {
  ComPtr<IStorage> storage;
  const HRESULT opened = OpenStore(path, storage);
  if (opened == STG_E_FILEALREADYEXISTS || opened == STG_E_FILENOTFOUND) return std::nullopt;  // not a store
  StoreContents contents;
  if (!ReadStore(path, opened, storage.Get(), contents)) return 2;
  if (const std::string refusal = confine ? StoreConfinement(path, AnsiToUtf8(contents.dataPath.value_or(""))) : "";
      !refusal.empty()) {
    Complain(refusal);
    return 2;
  }
  if (json)
    WriteJson(contents);
  else
    PrintSummary(StoreSummary(contents));
  return 0;
}

int RunRegister(bool unregister) {
  const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  const HRESULT result = ReaderModule().CallRegistration(name);
  if (FAILED(result)) Complain(std::string(name) + " failed: " + HexCode(result));
  return FAILED(result) ? 2 : 0;
}
