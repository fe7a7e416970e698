#include "support/TempDir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("gdr-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      m_Path = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_Path, ignored);
}

// Joined as bytes: a name in the ANSI code page must reach the file functions unconverted.
std::string TempDir::File(std::string_view name) const {
  return m_Path.string() + char(std::filesystem::path::preferred_separator) + std::string(name);
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::string path = File(name);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string TempDir::WriteSized(std::string_view name, std::uint64_t size) const {
  std::string bytes(size, '\0');
  for (std::uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return Write(name, bytes);
}

std::string HeaderText(std::string_view body) {
  std::string text = std::string(kHeaderIdLine) + "\r\n";
  for (char c : body) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return text;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
