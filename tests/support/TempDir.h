#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return m_Path; }
  // The full path of `name` inside the folder, as a string.
  std::string File(std::string_view name) const;
  // Writes `bytes` exactly as given (no line-end translation) and returns the full path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // Writes a file of `size` bytes, each byte (i mod 251).
  std::string WriteSized(std::string_view name, std::uint64_t size) const;

 private:
  std::filesystem::path m_Path;
};

// The identification line of the header files the tests write.
inline constexpr std::string_view kHeaderIdLine = "Tarvo Sylvex Data Exchange Header File Version 1.0";
// A header file's text: the identification line, then `body`, with CR LF for each "\n".
std::string HeaderText(std::string_view body);
// The whole content of a file, as bytes.
std::string Slurp(const std::string& path);
