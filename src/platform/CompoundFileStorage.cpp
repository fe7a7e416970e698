// Compound files on disk: read whole and checked when opened, written whole and atomically on commit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

#include "platform/CompoundFile.h"
#include "platform/Conversions.h"
#include "platform/Descriptor.h"
#include "platform/FileReplace.h"

namespace {

// A wide path as this file system names it (UTF-8).
std::string NativePath(const WCHAR* path) { return path ? WideToUtf8(path) : std::string(); }

HRESULT FromErrno(int error, HRESULT otherwise) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return STG_E_MEDIUMFULL;
    case EACCES:
    case EPERM:
    case EROFS:
      return STG_E_ACCESSDENIED;
    case ENOENT:
    case ENOTDIR:
      return STG_E_PATHNOTFOUND;
    default:
      return otherwise;
  }
}

// A new file beside `path`, created exclusively with the permissions that new files get (0666 less
// the umask); its name in `name`.
Descriptor CreateBeside(const std::string& path, std::string& name) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", unsigned(random()));
    name = path + suffix;
    Descriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.Get() >= 0 || errno != EEXIST) return file;
  }
  return Descriptor();
}

// Writes a new file beside the old one, flushes it, and renames it over the old one; on any failure
// the old file stays as it was. `keepMode`: the new file takes the old one's permission bits (when
// the old one is the user's own); otherwise it is a new file with the permissions new files get.
HRESULT WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, bool keepMode) {
  std::string temporary;
  Descriptor file = CreateBeside(path, temporary);
  if (file.Get() < 0) return FromErrno(errno, STG_E_WRITEFAULT);
  if (!WriteAll(file.Get(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) ||
      ::fsync(file.Get()) != 0 || ::close(file.Release()) != 0 ||
      !(keepMode ? RenameOver(temporary, path) : ::rename(temporary.c_str(), path.c_str()) == 0)) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return FromErrno(error, STG_E_WRITEFAULT);
  }
  // The rename itself must reach the disk too.
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) ::fsync(directory.Get());
  return S_OK;
}

HRESULT ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) return errno == ENOENT ? STG_E_FILENOTFOUND : FromErrno(errno, STG_E_READFAULT);
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return STG_E_FILEALREADYEXISTS;
  // A file that does not begin with the signature is refused before it is read whole.
  bytes.resize(std::min<std::size_t>(std::size_t(status.st_size), 8));
  if (::pread(file.Get(), bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) return STG_E_READFAULT;
  std::shared_ptr<StorageNode> unused;
  if (DecodeCompoundFile(bytes, unused) == STG_E_FILEALREADYEXISTS) return STG_E_FILEALREADYEXISTS;
  try {
    bytes.resize(std::size_t(status.st_size));
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t got = ::pread(file.Get(), bytes.data() + done, bytes.size() - done, off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return STG_E_READFAULT;
    done += std::size_t(got);
  }
  return S_OK;
}

// The storage object over a tree kept in the file at `path`.
HRESULT OpenFileStorage(const std::string& path, std::shared_ptr<StorageNode> root, DWORD mode, IStorage** storage) {
  const bool writable = (mode & 0x3) != STGM_READ;
  auto commit = [path, root, writable]() -> HRESULT {
    if (!writable) return STG_E_ACCESSDENIED;
    std::vector<std::uint8_t> bytes;
    const HRESULT encoded = EncodeCompoundFile(*root, bytes);
    return FAILED(encoded) ? encoded : WriteAtomically(path, bytes, true);
  };
  *storage = OpenStorageTree(root, mode, commit).Detach();
  return S_OK;
}

}  // namespace

HRESULT StgCreateDocfile(const WCHAR* path, DWORD mode, DWORD, IStorage** storage) {
  if (!storage) return STG_E_INVALIDPOINTER;
  *storage = nullptr;
  if (!path) return STG_E_INVALIDNAME;
  if ((mode & 0x3) == STGM_READ) return STG_E_INVALIDFLAG;
  const std::string native = NativePath(path);
  struct stat existing {};
  if (::stat(native.c_str(), &existing) == 0 && !(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
  auto root = std::make_shared<StorageNode>();
  std::vector<std::uint8_t> empty;
  if (const HRESULT encoded = EncodeCompoundFile(*root, empty); FAILED(encoded)) return encoded;
  if (const HRESULT written = WriteAtomically(native, empty, false); FAILED(written)) return written;
  return OpenFileStorage(native, root, mode, storage);
}

HRESULT StgOpenStorage(const WCHAR* path, IStorage*, DWORD mode, SNB, DWORD, IStorage** storage) {
  if (!storage) return STG_E_INVALIDPOINTER;
  *storage = nullptr;
  if (!path) return STG_E_INVALIDNAME;
  const std::string native = NativePath(path);
  std::vector<std::uint8_t> bytes;
  if (const HRESULT read = ReadWholeFile(native, bytes); FAILED(read)) return read;
  std::shared_ptr<StorageNode> root;
  if (const HRESULT decoded = DecodeCompoundFile(bytes, root); FAILED(decoded)) return decoded;
  return OpenFileStorage(native, std::move(root), mode, storage);
}
