#pragma once
// Takes numbers and bytes off the front of a fuzzer's input; writes the files a target reads.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : m_Rest(reinterpret_cast<const char*>(data), size) {}
  // A number in [low, high], from the next bytes (low when the input is used up).
  std::int64_t Number(std::int64_t low, std::int64_t high) {
    std::uint64_t value = 0;
    for (int i = 0; i < 4 && !m_Rest.empty(); ++i, m_Rest.remove_prefix(1))
      value = value << 8 | std::uint8_t(m_Rest[0]);
    return low + std::int64_t(value % std::uint64_t(high - low + 1));
  }
  bool Flag() { return Number(0, 1) == 1; }
  std::string Bytes(std::size_t count) {
    const std::string bytes(m_Rest.substr(0, count));
    m_Rest.remove_prefix(bytes.size());
    return bytes;
  }
  std::string Rest() { return Bytes(m_Rest.size()); }

 private:
  std::string_view m_Rest;
};

// Writes the bytes to a file in a folder of this process and answers its path.
inline std::string WriteFuzzFile(const std::string& name, const std::string& bytes) {
  static const std::filesystem::path folder = [] {
    auto path = std::filesystem::temp_directory_path() / ("gdr-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  const std::string path = (folder / name).string();
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
  return path;
}
