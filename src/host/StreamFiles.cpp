#include "host/StreamFiles.h"

#include <limits>
#include <new>

#include "platform/ComPtr.h"

HRESULT WriteWholeStream(IStorage* storage, LPCOLESTR name, std::span<const std::uint8_t> bytes) {
  if (!storage) return E_POINTER;
  ComPtr<IStream> stream;
  HRESULT result =
      storage->CreateStream(name, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.Receive());
  for (std::size_t done = 0; SUCCEEDED(result) && done < bytes.size();) {
    const ULONG chunk = ULONG(std::min<std::size_t>(bytes.size() - done, std::numeric_limits<ULONG>::max()));
    ULONG written = 0;
    result = stream->Write(bytes.data() + done, chunk, &written);
    if (SUCCEEDED(result) && written == 0) result = STG_E_WRITEFAULT;
    done += written;
  }
  return FAILED(result) ? result : S_OK;
}

HRESULT ReadWholeStream(IStorage* storage, LPCOLESTR name, std::vector<std::uint8_t>& bytes) {
  if (!storage) return E_POINTER;
  ComPtr<IStream> stream;
  HRESULT result = storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive());
  if (FAILED(result)) return result;
  STATSTG status{};
  if (FAILED(result = stream->Stat(&status, STATFLAG_NONAME))) return result;
  try {
    bytes.assign(std::size_t(status.cbSize.QuadPart), 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  for (std::size_t done = 0; done < bytes.size();) {
    const ULONG chunk = ULONG(std::min<std::size_t>(bytes.size() - done, std::numeric_limits<ULONG>::max()));
    ULONG read = 0;
    if (FAILED(result = stream->Read(bytes.data() + done, chunk, &read))) return result;
    if (read == 0) return STG_E_READFAULT;
    done += read;
  }
  return S_OK;
}
