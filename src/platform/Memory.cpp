#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

std::uint64_t PhysicalMemorySize() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return UINT64_MAX;  // unknown: let the allocator decide
  return std::uint64_t(pages) * std::uint64_t(pageSize);
}

void AdviseLargeBuffer(void* memory, std::size_t size) {
  constexpr std::size_t kHugePage = 2u << 20;
  if (!memory || size < 16 * kHugePage) return;
  const auto start = (reinterpret_cast<std::uintptr_t>(memory) + kHugePage - 1) & ~(kHugePage - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(memory) + size) & ~(kHugePage - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}
