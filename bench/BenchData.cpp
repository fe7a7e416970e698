#include "BenchData.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace bench {

std::string Folder() {
  const char* folder = std::getenv("GDR_BENCH_DIR");
  const std::string path = folder && *folder ? folder : "/tmp/gdr-bench";
  std::filesystem::create_directories(path);
  return path;
}

namespace {

bool Exists(const std::string& path, std::uint64_t size) {
  std::error_code error;
  return std::filesystem::file_size(path, error) == size && !error;
}

}  // namespace

std::string BinaryFile(const std::string& name, std::uint64_t bytes, bool floats) {
  const std::string path = Folder() + "/" + name;
  if (Exists(path, bytes)) return path;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937 random(1);
  std::vector<char> chunk(1 << 20);
  for (std::uint64_t done = 0; done < bytes; done += chunk.size()) {
    for (std::size_t i = 0; i + 4 <= chunk.size(); i += 4) {
      const std::uint32_t value = floats ? std::uint32_t(0x3F800000u | (random() & 0x7FFFFF)) : std::uint32_t(random());
      std::memcpy(&chunk[i], &value, 4);
    }
    out.write(chunk.data(), std::streamsize(std::min<std::uint64_t>(chunk.size(), bytes - done)));
  }
  return path;
}

std::string AsciiFile(const std::string& name, std::uint64_t lines, int channels) {
  const std::string path = Folder() + "/" + name;
  std::error_code error;
  if (std::filesystem::exists(path, error)) return path;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937 random(2);
  std::string line;
  for (std::uint64_t i = 0; i < lines; ++i) {
    line.clear();
    for (int c = 0; c < channels; ++c) {
      const int value = int(random() % 200000) - 100000;
      line.append(c ? " " : "")
          .append(std::to_string(value / 100))
          .append(".")
          .append(std::to_string(std::abs(value % 100)));
    }
    line += "\n";
    out << line;
  }
  return path;
}

}  // namespace bench
