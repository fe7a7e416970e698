#include "component/TaggedStream.h"

#include <algorithm>
#include <cstring>
#include <memory>

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
  m_DataOrientation = std::int32_t(header.m_DataOrientation);
  m_SampleFormat = std::int32_t(header.m_SampleFormat);
  m_DecimalSymbol = header.m_DecimalSymbol;
  m_SkipLines = header.m_SkipLines;
  m_SkipColumns = header.m_SkipColumns;
  m_UseBigEndianOrder = header.m_UseBigEndianOrder;
  m_DataOffset = header.m_DataOffset;
  m_ChannelOffset = header.m_ChannelOffset;
  m_SegmentHeaderSize = header.m_SegmentHeaderSize;
  m_SegmentDataPoints = header.m_SegmentDataPoints;
}

void CInternalData::WriteFields() {
  Put(0, 0, std::int32_t(m_Resolutions.size()));
  for (std::size_t i = 0; i < m_Resolutions.size(); ++i) Put(1, ULONG(i), m_Resolutions[i]);
  Put(2, 0, m_DataOrientation);
  Put(3, 0, m_SampleFormat);
  Put(4, 0, m_DecimalSymbol);
  Put(5, 0, m_SkipLines);
  Put(6, 0, m_SkipColumns);
  Put(7, 0, m_UseBigEndianOrder);
  Put(8, 0, m_DataOffset);
  Put(9, 0, m_ChannelOffset);
  Put(10, 0, m_SegmentHeaderSize);
  Put(11, 0, m_SegmentDataPoints);
}

void CInternalData::ReadFields() {
  std::int32_t count = std::int32_t(m_Resolutions.size());
  Get(0, 0, count);
  m_Resolutions.resize(std::size_t(std::clamp(count, 0, kMostResolutions)), 0.0f);
  for (std::size_t i = 0; i < m_Resolutions.size(); ++i) Get(1, ULONG(i), m_Resolutions[i]);
  Get(2, 0, m_DataOrientation);
  Get(3, 0, m_SampleFormat);
  Get(4, 0, m_DecimalSymbol);
  Get(5, 0, m_SkipLines);
  Get(6, 0, m_SkipColumns);
  Get(7, 0, m_UseBigEndianOrder);
  Get(8, 0, m_DataOffset);
  Get(9, 0, m_ChannelOffset);
  Get(10, 0, m_SegmentHeaderSize);
  Get(11, 0, m_SegmentDataPoints);
}
