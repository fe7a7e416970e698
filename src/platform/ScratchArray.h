#pragma once
// A buffer for one read, from the C allocator, so that a size that cannot be served fails as
// std::bad_alloc (the readers answer E_OUTOFMEMORY) instead of ending the process.
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

template <typename T>
class ScratchArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  ScratchArray() = default;
  explicit ScratchArray(std::size_t size) { Resize(size); }
  ~ScratchArray() { std::free(m_Data); }
  ScratchArray(const ScratchArray&) = delete;
  ScratchArray& operator=(const ScratchArray&) = delete;

  // Makes room for `size` elements; the contents are not kept.
  void Resize(std::size_t size) {
    if (size <= m_Capacity) {
      m_Size = size;
      return;
    }
    if (size > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    T* data = static_cast<T*>(std::malloc(size * sizeof(T)));
    if (!data) throw std::bad_alloc();
    std::free(m_Data);
    m_Data = data;
    m_Size = m_Capacity = size;
  }
  void Zero() {
    if (m_Size) std::memset(m_Data, 0, m_Size * sizeof(T));
  }

  T* Data() { return m_Data; }
  const T* Data() const { return m_Data; }
  std::size_t Size() const { return m_Size; }
  T& operator[](std::size_t index) { return m_Data[index]; }
  const T& operator[](std::size_t index) const { return m_Data[index]; }

 private:
  T* m_Data = nullptr;
  std::size_t m_Size = 0;
  std::size_t m_Capacity = 0;
};
