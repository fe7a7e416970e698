#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_Held{0};
std::atomic<std::size_t> g_Peak{0};
std::atomic<bool> g_FailNext{false};

// Each block carries its size in front of it, so that delete knows what it gives back.
constexpr std::size_t kPrefix = alignof(std::max_align_t);

}  // namespace

// Every form but the aligned ones, which keep the library's own pair and are not counted: a
// sanitizer replaces each form, so none may be left to pair with a counted one.
void* operator new(std::size_t size) {
  void* block = g_FailNext.exchange(false) ? nullptr : std::malloc(size + kPrefix);
  if (!block) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  const std::size_t held = g_Held.fetch_add(size) + size;
  std::size_t peak = g_Peak.load();
  while (held > peak && !g_Peak.compare_exchange_weak(peak, held)) {
  }
  return static_cast<char*>(block) + kPrefix;
}

void* operator new[](std::size_t size) { return operator new(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }

void operator delete(void* pointer) noexcept {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - kPrefix;
  g_Held.fetch_sub(*static_cast<std::size_t*>(block));
  std::free(block);
}

void operator delete[](void* pointer) noexcept { operator delete(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { operator delete(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { operator delete(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { operator delete(pointer); }

AllocationPeak::AllocationPeak() : m_Start(g_Held.load()) { g_Peak.store(m_Start); }

std::size_t AllocationPeak::Bytes() const { return g_Peak.load() - m_Start; }

void FailNextAllocation() { g_FailNext = true; }
