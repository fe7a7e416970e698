// File access of the Windows build: the C runtime's _access and _stat64, and a CFile on _open.
#include "platform/Files.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/Exceptions.h"

std::string ToNativePath(std::string_view path) { return std::string(path); }

void SetBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

bool PathExists(std::string_view path) { return _access(std::string(path).c_str(), 0) == 0; }

std::optional<std::int64_t> FileLength(std::string_view path) {
  struct _stat64 status {};
  if (_stat64(std::string(path).c_str(), &status) != 0) return std::nullopt;
  if (status.st_mode & _S_IFDIR) return 0;
  return static_cast<std::int64_t>(status.st_size);
}

CFile::CFile(std::string_view path, Share /*share*/) : m_Path(path) {
  m_Descriptor = _open(m_Path.c_str(), _O_RDONLY | _O_BINARY);
  if (m_Descriptor < 0) throw CFileException(CFileException::cannotOpen, m_Path, errno);
}

CFile::~CFile() { _close(m_Descriptor); }

void CFile::Fail(int osError) const { throw CFileException(CFileException::cannotRead, m_Path, osError); }

std::int64_t CFile::GetLength() const {
  struct _stat64 status {};
  if (_fstat64(m_Descriptor, &status) != 0) Fail(errno);
  return static_cast<std::int64_t>(status.st_size);
}

void CFile::SeekToBegin() {
  if (_lseeki64(m_Descriptor, 0, SEEK_SET) < 0) Fail(errno);
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const unsigned piece = unsigned(std::min<std::size_t>(count - done, 1u << 30));
    const int got = _read(m_Descriptor, out + done, piece);
    if (got < 0) Fail(errno);
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}
