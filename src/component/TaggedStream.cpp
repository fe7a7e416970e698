#include "component/TaggedStream.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "contract/Tags.h"
#include "header/HeaderFile.h"
#include "platform/ComRuntime.h"
#include "platform/Conversions.h"
#include "platform/Exceptions.h"
#include "platform/ScratchArray.h"

namespace {

// A damaged bag may claim any channel count; no more resolutions than this are kept (channels
// beyond the list scale by 1.0 in the readers).
constexpr std::int32_t kMostResolutions = 1 << 24;

}  // namespace

CTaggedStream::CTaggedStream(std::string streamName) : m_StreamName(std::move(streamName)) {
  ThrowIfFailed(CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_INPROC_SERVER, IidOf<IHostPropertyBag>(),
                                 m_pBag.ReceiveVoid()));
}

void CTaggedStream::WriteToStorage(IStorage* storage) {
  if (!storage) return;
  WriteFields();
  const WideString name = AnsiToWide(m_StreamName);
  ComPtr<IStream> stream;
  ThrowIfFailed(
      storage->CreateStream(name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.Receive()));
  BYTE* bytes = nullptr;
  ULONG size = 0;
  ThrowIfFailed(m_pBag->SaveToMemory(&bytes, &size));
  const TaskMemory<BYTE> owned(bytes);
  if (size != 0 && bytes) ThrowIfFailed(stream->Write(bytes, size, nullptr));
}

int CTaggedStream::ReadFromStorage(IStorage* storage) {
  if (!storage) return 0;
  const WideString name = AnsiToWide(m_StreamName);
  ComPtr<IStream> stream;
  const HRESULT opened =
      storage->OpenStream(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, stream.Receive());
  if (opened == STG_E_FILENOTFOUND) return 0;
  ThrowIfFailed(opened);
  STATSTG status{};
  ThrowIfFailed(stream->Stat(&status, STATFLAG_NONAME));
  if (status.cbSize.QuadPart > 0xFFFFFFFFu) AfxThrowOleException(E_OUTOFMEMORY);
  ScratchArray<BYTE> bytes(std::size_t(status.cbSize.QuadPart));
  ULONG read = 0;
  ThrowIfFailed(stream->Read(bytes.Data(), ULONG(bytes.Size()), &read));
  ThrowIfFailed(m_pBag->Reset(bytes.Data(), read));
  ReadFields();
  return 1;
}

void CTaggedStream::GetBytes(ULONG tag, ULONG index, void* value, std::size_t size) {
  BYTE* data = nullptr;
  ULONG length = 0;
  const HRESULT result = ThrowIfFailed(m_pBag->GetProperty(tag, index, &data, &length));
  const TaskMemory<BYTE> owned(data);
  if (result == S_OK && data && length >= size) std::memcpy(value, data, size);
}

CInternalData::CInternalData() : CTaggedStream("InternalData") {}

void CInternalData::CopyFrom(const CHeaderFile& header) {
  m_Resolutions.clear();
  for (const CChannelInfo& channel : header.m_Channels) m_Resolutions.push_back(channel.Resolution);
  m_Layout = header;
}

template <typename Layout, typename Visit>
void CInternalData::ForEachLayoutField(Layout& layout, Visit&& visit) {
  namespace tag = internal_data_tag;
  visit(tag::kDataOrientation, layout.m_DataOrientation);
  visit(tag::kSampleFormat, layout.m_SampleFormat);
  visit(tag::kDecimalSymbol, layout.m_DecimalSymbol);
  visit(tag::kSkipLines, layout.m_SkipLines);
  visit(tag::kSkipColumns, layout.m_SkipColumns);
  visit(tag::kUseBigEndianOrder, layout.m_UseBigEndianOrder);
  visit(tag::kDataOffset, layout.m_DataOffset);
  visit(tag::kChannelOffset, layout.m_ChannelOffset);
  visit(tag::kSegmentHeaderSize, layout.m_SegmentHeaderSize);
  visit(tag::kSegmentDataPoints, layout.m_SegmentDataPoints);
}

void CInternalData::WriteFields() {
  Put(internal_data_tag::kResolutionCount, 0, std::int32_t(m_Resolutions.size()));
  for (std::size_t i = 0; i < m_Resolutions.size(); ++i)
    Put(internal_data_tag::kResolution, ULONG(i), m_Resolutions[i]);
  ForEachLayoutField(m_Layout, [&](ULONG tag, const auto& field) { Put(tag, 0, field); });
}

void CInternalData::ReadFields() {
  std::int32_t count = std::int32_t(m_Resolutions.size());
  Get(internal_data_tag::kResolutionCount, 0, count);
  m_Resolutions.resize(std::size_t(std::clamp(count, 0, kMostResolutions)), 0.0f);
  for (std::size_t i = 0; i < m_Resolutions.size(); ++i)
    Get(internal_data_tag::kResolution, ULONG(i), m_Resolutions[i]);
  ForEachLayoutField(m_Layout, [&](ULONG tag, auto& field) { Get(tag, 0, field); });
}
