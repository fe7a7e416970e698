#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"

std::string ToNativePath(std::string_view path) {
  // The component's paths are in the ANSI code page; this file system names files in UTF-8.
  std::string native;
  native.reserve(path.size());
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x80) {
      native += c == '\\' ? '/' : c;
      continue;
    }
    WCHAR wide = 0;
    MultiByteToWideChar(CP_ACP, 0, &c, 1, &wide, 1);
    char utf8[4];
    native.append(utf8, std::size_t(WideCharToMultiByte(CP_UTF8, 0, &wide, 1, utf8, sizeof utf8, nullptr, nullptr)));
  }
  return native;
}

void SetBinaryMode(std::FILE*) {}  // this platform has no text mode

bool PathExists(std::string_view path) { return ::access(ToNativePath(path).c_str(), F_OK) == 0; }

std::optional<std::int64_t> FileLength(std::string_view path) {
  struct stat status {};
  if (::stat(ToNativePath(path).c_str(), &status) != 0) return std::nullopt;
  if (S_ISDIR(status.st_mode)) return 0;
  return static_cast<std::int64_t>(status.st_size);
}

std::string UserFolder(const char* xdgVariable, std::string_view homeSubfolder) {
  if (const char* folder = std::getenv(xdgVariable); folder && *folder == '/') return folder;
  if (const char* home = std::getenv("HOME"); home && *home == '/') return std::string(home).append(homeSubfolder);
  return {};
}

int OpenFileForReading(std::string_view path) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer forever.
  const int descriptor = ::open(ToNativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return -1;
  // Only regular files are read: a folder (which Windows does not open as a file either), a FIFO, a
  // device or a socket is refused.
  struct stat status {};
  int error = 0;
  if (::fstat(descriptor, &status) != 0)
    error = errno;
  else if (S_ISDIR(status.st_mode))
    error = EISDIR;
  else if (!S_ISREG(status.st_mode))
    error = EINVAL;
  else if (::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0)
    error = errno;
  if (error == 0) return descriptor;
  ::close(descriptor);
  errno = error;
  return -1;
}

CFile::CFile(std::string_view path, Share /*share*/) : m_Path(path) {
  m_Descriptor = OpenFileForReading(path);
  if (m_Descriptor < 0) throw CFileException(CFileException::cannotOpen, m_Path, errno);
}

CFile::~CFile() { ::close(m_Descriptor); }

void CFile::Fail(int osError) const { throw CFileException(CFileException::cannotRead, m_Path, osError); }

std::int64_t CFile::GetLength() const {
  struct stat status {};
  if (::fstat(m_Descriptor, &status) != 0) Fail(errno);
  return static_cast<std::int64_t>(status.st_size);
}

void CFile::SeekToBegin() {
  if (::lseek(m_Descriptor, 0, SEEK_SET) < 0) Fail(errno);
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(m_Descriptor, out + done, count - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}
