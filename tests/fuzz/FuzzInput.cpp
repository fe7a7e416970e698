#include "FuzzInput.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

std::string FuzzFolder() {
  static const std::string folder = [] {
    const auto path = std::filesystem::temp_directory_path() / ("gdr-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

std::string WriteFuzzFile(const std::string& name, const std::string& bytes) {
  const std::string path = FuzzFolder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
  return path;
}
