// What an import leaves in the recording's storage.
#include <string_view>

#include "component/EEGFileReader.h"
#include "component/TaggedStream.h"
#include "contract/Diagnostics.h"
#include "contract/ReaderIdentity.h"

namespace {

constexpr DWORD kCreateMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x1012

// Creates (or replaces) the stream and writes the bytes; the stream is released at once.
void WriteStream(IStorage* storage, LPCOLESTR name, const void* bytes, std::size_t size) {
  ComPtr<IStream> stream;
  ThrowIfFailed(storage->CreateStream(name, kCreateMode, 0, 0, stream.Receive()));
  ThrowIfFailed(stream->Write(bytes, ULONG(size), nullptr));
}

// An ANSI text with its terminating 0 byte.
void WriteText(IStorage* storage, LPCOLESTR name, const std::string& text) {
  WriteStream(storage, name, text.c_str(), text.size() + 1);
}

}  // namespace

HRESULT CEEGFileReader::CreateStorageEntries(IStorage* storage, LONG /*ignored*/) {
  return Guarded([&] {
    if (!storage) AfxThrowOleException(E_POINTER);
    WriteMarkers(storage);
    WriteProperties(storage);
    if (!m_Header.m_Comment.empty()) {
      WriteText(storage, OLESTR("RecordingInfos"), m_Header.m_Comment);
      WriteStream(storage, OLESTR("RecordingInfosW"), m_Header.m_CommentW.c_str(), 2 * m_Header.m_CommentW.size() + 2);
    }
    CInternalData internalData;
    internalData.CopyFrom(m_Header);
    internalData.WriteToStorage(storage);
    WriteText(storage, OLESTR("HeaderPath"), m_RawFilePath);
    WriteText(storage, OLESTR("DataPath"), m_Header.m_DataFile);
    WriteText(storage, OLESTR("Name"), "Raw Data");
    ThrowIfFailed(WriteClassStg(storage, CLSID_GenericDataReader));
    WriteDebugLog("CreateStorageEntries: %s\n", m_RawFilePath.c_str());
    return S_OK;
  });
}
