#pragma once
// A file descriptor that is closed when it goes, and writing a whole buffer to one. This platform only.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <utility>

class Descriptor {
 public:
  explicit Descriptor(int descriptor = -1) : m_Descriptor(descriptor) {}
  ~Descriptor() {
    if (m_Descriptor >= 0) ::close(m_Descriptor);
  }
  Descriptor(Descriptor&& other) noexcept : m_Descriptor(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(m_Descriptor, other.m_Descriptor);
    return *this;
  }
  int Get() const { return m_Descriptor; }
  int Release() { return std::exchange(m_Descriptor, -1); }

 private:
  int m_Descriptor;
};

// Writes every byte, going on after interruptions; false with errno set on failure.
inline bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(std::size_t(written));
  }
  return true;
}
