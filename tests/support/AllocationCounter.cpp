#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_Held{0};
std::atomic<std::size_t> g_Peak{0};

// Each block carries its size in front of it, so that delete knows what it gives back.
constexpr std::size_t kPrefix = alignof(std::max_align_t);

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size + kPrefix);
  if (!block) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  const std::size_t held = g_Held.fetch_add(size) + size;
  std::size_t peak = g_Peak.load();
  while (held > peak && !g_Peak.compare_exchange_weak(peak, held)) {
  }
  return static_cast<char*>(block) + kPrefix;
}

void operator delete(void* pointer) noexcept {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - kPrefix;
  g_Held.fetch_sub(*static_cast<std::size_t*>(block));
  std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

AllocationPeak::AllocationPeak() : m_Start(g_Held.load()) { g_Peak.store(m_Start); }

std::size_t AllocationPeak::Bytes() const { return g_Peak.load() - m_Start; }
