#pragma once
// File access of the component. Paths are the component's ANSI paths: "\" and "/" both separate
// folders, and "\" is opened as "/" on this platform, so "\home\rec\s01.eeg" is /home/rec/s01.eeg;
// "M\xFCller.eeg" names the file "Müller.eeg" (UTF-8).
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// The path as this platform's file system names it: "/" for "\", and the ANSI code page's characters
// in UTF-8, whatever the locale.
std::string ToNativePath(std::string_view path);

// Makes a C stream write its bytes as they are (Windows translates line ends in text mode).
void SetBinaryMode(std::FILE* stream);

// True when a file or folder exists at the path (the C library's _access with mode 0).
bool PathExists(std::string_view path);

// The length in bytes of the file at the path (_stat64); 0 for a folder, as on Windows; nothing when
// the path cannot be examined.
std::optional<std::int64_t> FileLength(std::string_view path);

#if !defined(_WIN32)
// A folder of the user's own: the absolute path in the environment variable `xdgVariable`, else
// $HOME followed by `homeSubfolder`; empty when neither is an absolute path.
std::string UserFolder(const char* xdgVariable, std::string_view homeSubfolder);

// A descriptor of the regular file at the path, open for reading; -1 with errno set when it cannot
// be opened or is no regular file (EISDIR for a folder, which Windows does not open as a file
// either). A FIFO is refused without waiting for a writer.
int OpenFileForReading(std::string_view path);
#endif

// A file open for reading, as the framework's file class opens it; closed by its destructor.
// Failures raise CFileException with the path as given.
class CFile {
 public:
  // How other openers are treated while the file is open. Windows enforces it; this platform has no
  // mandatory sharing, so both modes open the file the same way.
  enum class Share { denyWrite, denyNone };

  CFile(std::string_view path, Share share);
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  std::int64_t GetLength() const;
  void SeekToBegin();
  // Reads up to `count` bytes at the current position; fewer only at the end of the file.
  std::size_t Read(void* buffer, std::size_t count);

 private:
  [[noreturn]] void Fail(int osError) const;

  std::string m_Path;
  int m_Descriptor = -1;
};
