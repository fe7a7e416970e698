#pragma once
// Structured storage kept wholly in memory: a tree of storages and streams, and the IStorage and
// IStream objects over it, with the access rules and result codes of the Windows implementation.
// A storage backed by a file is this tree plus reading the file and a commit that writes it.
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/ComPtr.h"
#include "platform/Storage.h"

// A new, empty storage in memory, open for reading and writing.
HRESULT CreateMemoryStorage(IStorage** storage);

// The Windows build has the system's storages; the tree below is this platform's implementation.
#if !defined(_WIN32)
struct StorageNode;

// One named element of a storage: a stream (its bytes) or a storage (its node).
struct StorageElement {
  WideString name;  // as it was created
  std::shared_ptr<std::vector<std::uint8_t>> stream;
  std::shared_ptr<StorageNode> storage;
  FILETIME created{}, modified{};
  int openCount = 0;  // elements open in an object; they cannot be opened twice, replaced or removed
};

struct StorageNode {
  CLSID clsid = GUID_NULL;
  DWORD stateBits = 0;
  // By folded name (FoldElementName), so that names compare without regard to case.
  std::map<WideString, std::shared_ptr<StorageElement>> children;
};

// Element names compare after upper-casing ASCII and Latin-1 letters, as compound files do.
WideString FoldElementName(WideStringView name);
// Names of 1 to 31 characters without "/", "\", ":" or "!".
bool IsValidElementName(WideStringView name);

// A root storage over `root`, opened with `mode`; its Commit calls `commit` (nothing when empty).
ComPtr<IStorage> OpenStorageTree(std::shared_ptr<StorageNode> root, DWORD mode, std::function<HRESULT()> commit);
#endif
