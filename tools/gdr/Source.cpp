#include "Source.h"

#include <cstdio>

#include "Confinement.h"
#include "Text.h"
#include "contract/DataType.h"
#include "contract/ResultCodes.h"
#include "contract/Tags.h"
#include "header/HeaderFile.h"
#include "header/PathFunctions.h"
#include "host/StoreContents.h"
#include "platform/ComPtr.h"
#include "platform/CompoundFile.h"
#include "platform/Files.h"

namespace {

// A header's own refusals, before the component reads it.
void CheckHeader(const std::string& header, bool confine) {
  if (!FitsAnsi(header)) throw gdr::Error(E_INVALIDARG, BeyondAnsiText(header));
  if (const std::string refusal = confine ? HeaderConfinement(header) : ""; !refusal.empty())
    throw gdr::Error(E_INVALIDARG, refusal);
}

// A failure to open a header that names a file the ANSI code page cannot hold is told as that.
[[noreturn]] void Rethrow(const gdr::Error& error, const std::string& source) {
  if (HasHeaderExtension(source))
    if (const std::string name = NamedFileBeyondAnsi(source); !name.empty())
      throw gdr::Error(E_INVALIDARG, BeyondAnsiText(name));
  throw error;
}

}  // namespace

gdr::Recording OpenRecording(const std::string& source, bool confine) {
  if (HasHeaderExtension(source)) CheckHeader(source, confine);
  try {
    gdr::Recording recording = gdr::Recording::Open(source);
    if (const std::string refusal =
            confine && !HasHeaderExtension(source) ? StoreConfinement(source, recording.DataFile()) : std::string();
        !refusal.empty())
      throw gdr::Error(E_INVALIDARG, refusal);
    return recording;
  } catch (const gdr::Error& error) {
    Rethrow(error, source);
  }
}

void ImportRecording(const std::string& header, const std::string& store, bool confine) {
  CheckHeader(header, confine);
  try {
    gdr::Recording::Import(header, store);
  } catch (const gdr::Error& error) {
    Rethrow(error, header);
  }
}

int Report(const gdr::Error& error) {
  if (error.shown().empty()) {
    Complain(error.what());
  } else {
    for (std::string_view rest = error.shown();;) {
      const std::size_t end = rest.find('\n');
      std::fprintf(stderr, "%s\n", EscapeControls(rest.substr(0, end)).c_str());
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    Complain(error.context());
  }
  return error.code() == GDR_S_NOT_THIS_FORMAT ? 1 : 2;
}

std::optional<std::int64_t> PointsInDataFile(const std::string& source) {
  if (HasHeaderExtension(source)) {
    CHeaderFile header;
    try {
      if (header.Load(Utf8ToAnsiText(source)) != HEADER_PARSED || header.m_SampleFormat == FORMAT_ASCII) return {};
    } catch (...) {
      return {};  // the component tells why
    }
    const std::optional<std::int64_t> size = FileLength(header.m_DataFile);
    if (!size) return {};
    return BinaryPointsInFile(header, std::int32_t(header.m_Channels.size()),
                              ValuesPerPoint(IsComplex(header.m_DataType), header.m_Layers), std::uint64_t(*size));
  }
  ComPtr<IStorage> storage;
  StoreContents store;
  if (FAILED(StgOpenStorage(Utf8ToWide(source).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                            storage.Receive())) ||
      FAILED(ReadStoreContents(storage.Get(), store)) || !store.internalData || !store.dataPath)
    return {};
  auto field = [&](ULONG index) { return StoreContents::Get<std::int32_t>(*store.internalData, index).value_or(0); };
  namespace tag = internal_data_tag;
  const SampleLayout layout = {.m_SampleFormat = std::uint32_t(field(tag::kSampleFormat)),
                               .m_DataOffset = field(tag::kDataOffset),
                               .m_ChannelOffset = field(tag::kChannelOffset)};
  const std::optional<std::int64_t> size = FileLength(*store.dataPath);
  if (layout.m_SampleFormat == FORMAT_ASCII || !size) return {};
  return BinaryPointsInFile(layout, std::int32_t(store.channels.size()), store.ValuesPerPoint(), std::uint64_t(*size));
}
