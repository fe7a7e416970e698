#include "platform/Memory.h"

#include "platform/WinTypes.h"

std::uint64_t PhysicalMemorySize() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;  // unknown: let the allocator decide
  return status.ullTotalPhys;
}

// Windows gives large pages only to privileged processes; buffers are left as they are.
void AdviseLargeBuffer(void* /*memory*/, std::size_t /*size*/) {}
