#pragma once
// Binary data files, with the Win32 names: a handle opened for shared reading, and positioned reads
// (ReadFile with an OVERLAPPED offset, which is pread here), so that no file pointer carries state.
#include <cstdint>

#include "platform/WinTypes.h"

// The Windows build has the system's files.
#if !defined(_WIN32)
using HANDLE = void*;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(std::intptr_t(-1));

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

struct OVERLAPPED {
  std::uintptr_t Internal;
  std::uintptr_t InternalHigh;
  DWORD Offset;      // low 32 bits of the file position
  DWORD OffsetHigh;  // high 32 bits
  HANDLE hEvent;
};

// Opens an existing file for reading ("\" opens as "/"); INVALID_HANDLE_VALUE on failure. Windows
// lets other readers in and keeps writers out (FILE_SHARE_READ); this platform has no mandatory
// sharing, so the mode is not enforced.
HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
// Reads up to `count` bytes at the position in `overlapped` (required here); `*read` receives how
// many arrived, fewer only at the end of the file.
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped);
BOOL CloseHandle(HANDLE handle);
#endif

// What tells whether a file's bytes may have changed since an earlier look: its size, its times and
// its identity. Equal versions mean that bytes read before are still the file's.
struct FileVersion {
  std::uint64_t size = 0, modified = 0, changed = 0, id = 0, device = 0;
  friend bool operator==(const FileVersion&, const FileVersion&) = default;
};
// The version of an open file (all zero when it cannot be asked).
FileVersion GetFileVersion(HANDLE file);

// Reads `count` bytes at `position` in as many calls as needed; answers how many arrived.
std::uint64_t ReadFileAt(HANDLE file, std::uint64_t position, void* buffer, std::uint64_t count);

// A read-only view of the first bytes of an open file, where decoding straight from the file's
// cached pages is quicker than copying them out (POSIX; the Windows build keeps positioned reads).
// A view's bytes past the file's current size must not be touched: where another process shrank
// the file, that faults (SIGBUS), so the user checks the size (GetFileVersion) before each read.
class FileView {
 public:
  FileView() = default;
  ~FileView();
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  // Maps the first `size` bytes of the file; false, and no view, where it cannot.
  bool Map(HANDLE file, std::uint64_t size);
  const std::uint8_t* Data() const { return m_pData; }

 private:
  const std::uint8_t* m_pData = nullptr;
  std::uint64_t m_nSize = 0;
};
