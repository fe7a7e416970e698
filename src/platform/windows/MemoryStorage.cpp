// Storages in memory on the Windows build: a compound file over a global memory block.
#include "platform/MemoryStorage.h"

HRESULT CreateMemoryStorage(IStorage** storage) {
  if (!storage) return E_POINTER;
  *storage = nullptr;
  ILockBytes* bytes = nullptr;
  HRESULT result = CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes);
  if (FAILED(result)) return result;
  result = StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage);
  bytes->Release();  // the storage holds its own reference
  return result;
}
