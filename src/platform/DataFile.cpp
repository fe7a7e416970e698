#include "platform/DataFile.h"

#include <algorithm>
#include <cstdint>

// The Windows build reads through the system's files; this is their stand-in on POSIX.
#if !defined(_WIN32)
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"

namespace {

int Descriptor(HANDLE file) { return int(reinterpret_cast<std::intptr_t>(file)); }

}  // namespace

HANDLE CreateFileA(const char* path, DWORD, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
  if (!path || disposition != OPEN_EXISTING) return INVALID_HANDLE_VALUE;
  const int descriptor = OpenFileForReading(path);
  return descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(std::intptr_t(descriptor));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped) {
  if (read) *read = 0;
  if (file == INVALID_HANDLE_VALUE || !overlapped) return FALSE;
  const off_t position = off_t(std::uint64_t(overlapped->OffsetHigh) << 32 | overlapped->Offset);
  ssize_t got;
  do {
    got = ::pread(Descriptor(file), buffer, count, position);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return FALSE;
  if (read) *read = DWORD(got);
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return FALSE;
  return ::close(Descriptor(handle)) == 0 ? TRUE : FALSE;
}

FileVersion GetFileVersion(HANDLE file) {
  struct stat status {};
  if (file == INVALID_HANDLE_VALUE || ::fstat(Descriptor(file), &status) != 0) return {};
  auto nanoseconds = [](const timespec& time) {
    return std::uint64_t(time.tv_sec) * 1'000'000'000u + std::uint64_t(time.tv_nsec);
  };
  return {std::uint64_t(status.st_size), nanoseconds(status.st_mtim), nanoseconds(status.st_ctim),
          std::uint64_t(status.st_ino), std::uint64_t(status.st_dev)};
}

bool FileView::Map(HANDLE file, std::uint64_t size) {
  if (m_pData || file == INVALID_HANDLE_VALUE || size == 0 || size > std::uint64_t(PTRDIFF_MAX)) return false;
  void* view = ::mmap(nullptr, std::size_t(size), PROT_READ, MAP_SHARED, Descriptor(file), 0);
  if (view == MAP_FAILED) return false;
  m_pData = static_cast<const std::uint8_t*>(view);
  m_nSize = size;
  return true;
}

FileView::~FileView() {
  if (m_pData) ::munmap(const_cast<std::uint8_t*>(m_pData), std::size_t(m_nSize));
}

#else

bool FileView::Map(HANDLE, std::uint64_t) { return false; }
FileView::~FileView() = default;

FileVersion GetFileVersion(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return {};
  auto join = [](DWORD high, DWORD low) { return std::uint64_t(high) << 32 | low; };
  return {join(info.nFileSizeHigh, info.nFileSizeLow),
          join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime),
          join(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime),
          join(info.nFileIndexHigh, info.nFileIndexLow), info.dwVolumeSerialNumber};
}

#endif

std::uint64_t ReadFileAt(HANDLE file, std::uint64_t position, void* buffer, std::uint64_t count) {
  constexpr std::uint64_t kLargestRead = 1u << 30;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint64_t done = 0;
  while (done < count) {
    OVERLAPPED at{};
    at.Offset = DWORD(position + done);
    at.OffsetHigh = DWORD((position + done) >> 32);
    DWORD got = 0;
    if (!ReadFile(file, out + done, DWORD(std::min(count - done, kLargestRead)), &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}
