#include "platform/Memory.h"

#include <unistd.h>

std::uint64_t PhysicalMemorySize() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return UINT64_MAX;  // unknown: let the allocator decide
  return std::uint64_t(pages) * std::uint64_t(pageSize);
}
