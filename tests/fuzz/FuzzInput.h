#pragma once
// Takes numbers and bytes off the front of a fuzzer's input.
#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : m_Data(data), m_Size(size) {}
  // A number in [low, high], from the next bytes (low when the input is used up).
  std::int64_t Number(std::int64_t low, std::int64_t high) {
    std::uint64_t value = 0;
    for (int i = 0; i < 4 && m_Size > 0; ++i, ++m_Data, --m_Size) value = value << 8 | *m_Data;
    return low + std::int64_t(value % std::uint64_t(high - low + 1));
  }
  bool Flag() { return Number(0, 1) == 1; }
  std::string Bytes(std::size_t count) {
    count = count < m_Size ? count : m_Size;
    std::string bytes(reinterpret_cast<const char*>(m_Data), count);
    m_Data += count, m_Size -= count;
    return bytes;
  }
  std::string Rest() { return Bytes(m_Size); }
  std::size_t Left() const { return m_Size; }

 private:
  const std::uint8_t* m_Data;
  std::size_t m_Size;
};

// A folder of this process for the files a target writes.
std::string FuzzFolder();
// Writes the bytes to a file in that folder and answers its path.
std::string WriteFuzzFile(const std::string& name, const std::string& bytes);
