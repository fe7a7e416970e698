// gdr read: samples as a host reads them, in chunks of bounded size.
#include <cstdio>
#include <memory>

#include "Commands.h"
#include "Confinement.h"
#include "ReaderModule.h"
#include "StoreContents.h"
#include "Text.h"
#include "contract/ResultCodes.h"
#include "contract/Tags.h"
#include "header/HeaderCodes.h"
#include "header/PathFunctions.h"
#include "header/SampleLayout.h"
#include "header/TextRules.h"
#include "platform/ComRuntime.h"
#include "platform/CompoundFile.h"
#include "platform/Conversions.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"

namespace {

// Floats a chunk holds at most: reads stay this small however long the recording.
constexpr std::int64_t kChunkFloats = 1 << 20;

struct Failure {
  std::string message;
  int status = 2;
};

// The recording's storage: a store opened from its file (never committed, so reading changes
// nothing on disk), or a header imported into memory.
ComPtr<IStorage> OpenSource(ReaderModule& module, const std::string& source, bool confine) {
  ComPtr<IStorage> storage;
  if (HasHeaderExtension(source)) {
    CreateMemoryStorage(storage.Receive());
    ComPtr<IEEGRawFileReader> reader = module.NewReader<IEEGRawFileReader>();
    std::string refusal;
    HRESULT result = module.OpenHeader(*reader, source, confine, refusal);
    if (!refusal.empty()) throw Failure{refusal};
    if (result == GDR_S_NOT_THIS_FORMAT) throw Failure{"not a header file of this format: " + source, 1};
    if (result != S_OK) throw Failure{"OpenRawFile failed: " + HexCode(result)};
    if (FAILED(result = reader->CreateStorageEntries(storage.Get(), 0)))
      throw Failure{"CreateStorageEntries failed: " + HexCode(result)};
    return storage;
  }
  const HRESULT opened = StgOpenStorage(Utf8ToWide(source).c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                        nullptr, 0, storage.Receive());
  if (FAILED(opened)) throw Failure{source + " is no readable store: " + HexCode(opened)};
  return storage;
}

// The channel list: numbers (from 0) or names, comma-separated; empty for all channels.
std::vector<LONG> SelectChannels(const std::string& text, const StoreContents& store, std::int32_t channelCount) {
  std::vector<LONG> channels;
  bool warned = false;
  for (std::string_view rest = text; !text.empty();) {
    const std::size_t comma = rest.find(',');
    const std::string token(Trim(rest.substr(0, comma)));
    const bool number = !token.empty() && token.find_first_not_of("0123456789") == std::string::npos;
    LONG channel;
    const std::string name = Utf8ToAnsiText(token);
    LONG named = -1;
    for (std::size_t i = 0; i < store.channels.size() && named < 0; ++i)
      if (store.channels[i].name == name) named = LONG(i);
    channel = number && token.size() < 10 ? LONG(std::stol(token)) : named;
    // A number is a channel's number, even where another channel bears it as its name.
    if (named >= 0 && channel != named && !warned && channel < channelCount) {
      Complain("channel " + token + " is \"" + AnsiToUtf8(store.channels[std::size_t(channel)].name) +
               "\"; the channel named \"" + token + "\" is number " + std::to_string(named));
      warned = true;
    }
    if (channel < 0 || channel >= channelCount)
      throw Failure{"no channel " + token + " (the recording has " + std::to_string(channelCount) + " channels)"};
    channels.push_back(channel);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return channels;
}

// The line of column names, written cell by cell: a store may declare millions of numbers per point.
void WriteCsvHeader(std::FILE* out, const std::vector<LONG>& channels, const StoreContents& store,
                    std::int64_t values) {
  const char* separator = "";
  for (const LONG c : channels) {
    const std::string name = AnsiToUtf8(store.channels[std::size_t(c)].name);
    for (std::int64_t k = 0; k < values; ++k, separator = ",") {
      std::fputs(separator, out);
      std::fputs(CsvCell(values > 1 ? name + "_" + std::to_string(k + 1) : name).c_str(), out);
    }
  }
  std::fputs("\n", out);
}

// Says once when the binary data file holds fewer points than the recording declares (the rest read
// as zeros); the count is the sample reader's own, from the file's size.
void WarnOfMissingPoints(const StoreContents& store, std::int32_t channels, std::int64_t points) {
  const std::optional<PropertyStore>& d = store.internalData;
  namespace tag = internal_data_tag;
  auto field = [&](ULONG index, std::int32_t absent) {
    return d ? StoreContents::Get<std::int32_t>(*d, index).value_or(absent) : absent;
  };
  const SampleLayout layout = {.m_SampleFormat = std::uint32_t(field(tag::kSampleFormat, FORMAT_ASCII)),
                               .m_DataOffset = field(tag::kDataOffset, 0),
                               .m_ChannelOffset = field(tag::kChannelOffset, 0)};
  if (layout.m_SampleFormat == FORMAT_ASCII || !store.dataPath) return;  // ASCII data that end early fail the read
  const std::optional<std::int64_t> size = FileLength(*store.dataPath);
  if (!size) return;
  const std::int32_t held = BinaryPointsInFile(layout, channels, store.ValuesPerPoint(), std::uint64_t(*size));
  if (held < points)
    Complain("the data file holds " + std::to_string(held) + " of the " + std::to_string(points) +
             " data points the recording declares; the rest read as 0");
}

// The number of points to read from `from`: `count`, or to the end when it is not given. A range
// that does not lie within the recording is refused with the numbers as the user gave them.
std::int64_t CheckedRange(std::int64_t from, std::optional<std::int64_t> count, std::int64_t points) {
  const bool inside = from >= 0 && from <= points && (!count || (*count >= 0 && *count <= points - from));
  if (!inside)
    throw Failure{"from " + std::to_string(from) + ", " + (count ? "count " + std::to_string(*count) : "to the end") +
                  " lies outside the recording's " + std::to_string(points) + " data points"};
  return count ? *count : points - from;
}

int Read(const ReadOptions& options) {
  ReaderModule module;
  const ComPtr<IStorage> storage = OpenSource(module, options.source, options.confine);
  StoreContents store;
  if (const HRESULT read = ReadStoreContents(storage.Get(), store); FAILED(read))
    throw Failure{"the host's data in this store are damaged: " + HexCode(read)};
  if (options.confine && !HasHeaderExtension(options.source))
    if (const std::string refusal = StoreConfinement(options.source, store); !refusal.empty()) throw Failure{refusal};
  ComPtr<IEEGData> data = module.NewReader<IEEGData>();
  if (const HRESULT loaded = data->LoadFromStorage(storage.Get(), 0); FAILED(loaded))
    throw Failure{"LoadFromStorage failed: " + HexCode(loaded)};
  const std::int32_t channelCount =
      StoreContents::Get<std::int32_t>(store.recording, property_tag::kChannels).value_or(0);
  // Every channel has its description in a store: a count beyond them is no recording's.
  if (std::size_t(std::max(channelCount, 0)) != store.channels.size())
    throw Failure{"the store declares " + std::to_string(channelCount) + " channels but describes " +
                  std::to_string(store.channels.size())};
  const std::int64_t points = StoreContents::Get<std::int32_t>(store.recording, property_tag::kDataPoints).value_or(0);
  const std::int64_t values = store.ValuesPerPoint();
  const std::int64_t count = CheckedRange(options.from, options.count, points);
  const std::vector<LONG> channels = SelectChannels(options.channels, store, channelCount);
  const std::size_t selected = channels.empty() ? std::size_t(channelCount) : channels.size();
  std::vector<LONG> columns = channels;  // the channels delivered, for the column names
  if (channels.empty())
    for (LONG c = 0; c < channelCount; ++c) columns.push_back(c);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, std::fclose);
  if (!options.output.empty()) {
    file.reset(std::fopen(options.output.c_str(), "wb"));
    if (!file) throw Failure{"cannot write " + options.output};
  }
  std::FILE* out = file ? file.get() : stdout;
  const bool csv = options.format == "csv";
  if (!csv) SetBinaryMode(out);  // the samples' bytes as they are, never line-end translated
  if (csv) WriteCsvHeader(out, columns, store, values);
  WarnOfMissingPoints(store, channelCount, points);

  const std::int64_t perPoint = std::max<std::int64_t>(1, std::int64_t(selected) * values);
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkFloats / perPoint);
  const Progress progress(count);
  std::string text;
  for (std::int64_t first = options.from; first < options.from + count; first += chunk) {
    const LONG n = LONG(std::min(chunk, options.from + count - first));
    float* block = nullptr;
    const HRESULT result =
        data->GetData(LONG(first), n, &block, channels.empty() ? nullptr : channels.data(), LONG(channels.size()));
    if (FAILED(result)) throw Failure{"GetData failed: " + HexCode(result)};
    const TaskMemory<float> owned(block);
    const std::size_t floats = std::size_t(n) * std::size_t(perPoint);
    if (!csv) {
      std::fwrite(block, sizeof(float), floats, out);
    } else {
      // Written in pieces: one point alone may hold millions of numbers.
      for (std::size_t i = 0; i < floats; ++i) {
        text.append(FloatText(block[i])).append((i + 1) % std::size_t(perPoint) == 0 ? "\n" : ",");
        if (text.size() >= (1u << 20) || i + 1 == floats) {
          std::fwrite(text.data(), 1, text.size(), out);
          text.clear();
        }
      }
    }
    progress.Update(first + n - options.from);
  }
  if (std::fflush(out) != 0 || std::ferror(out)) throw Failure{"cannot write the samples"};
  return 0;
}

}  // namespace

int RunRead(const ReadOptions& options) {
  try {
    return Read(options);
  } catch (const Failure& failure) {
    Complain(failure.message);
    return failure.status;
  } catch (const COleException& e) {
    Complain("cannot create the reader object: " + HexCode(e.m_sc));
  }
  return 2;
}
