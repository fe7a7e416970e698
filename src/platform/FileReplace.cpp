#include "platform/FileReplace.h"

#if defined(_WIN32)
#include <filesystem>

// A new file there takes the permissions of its folder, as the one it replaces did.
bool RenameOver(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::rename(from, to, error);
  return !error;
}

#else
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/Descriptor.h"

bool RenameOver(const std::string& from, const std::string& to) {
  struct stat old {};
  if (::stat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode) && old.st_uid == ::geteuid()) {
    const Descriptor file(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        ::fchmod(file.Get(), old.st_mode & 0777) != 0)
      return false;
  }
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool FreshFile::Create(const std::string& path) {
  struct stat old {};
  if (::lstat(path.c_str(), &old) == 0 &&
      (!(S_ISREG(old.st_mode) || S_ISLNK(old.st_mode)) || old.st_uid != ::geteuid() || ::unlink(path.c_str()) != 0))
    return false;
  m_File = Descriptor(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  struct stat status {};
  if (m_File.Get() < 0 || ::fstat(m_File.Get(), &status) != 0) return false;
  m_Device = status.st_dev;
  m_Inode = status.st_ino;
  return true;
}

std::string FreshFile::DescriptorPath() const { return "/proc/self/fd/" + std::to_string(m_File.Get()); }

bool FreshFile::StillAt(const std::string& path) const {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_dev == m_Device &&
         status.st_ino == m_Inode;
}

bool FreshFile::WriteAt(std::uint64_t offset, std::string_view bytes) const {
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(m_File.Get(), bytes.data(), bytes.size(), off_t(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(std::size_t(written));
    offset += std::uint64_t(written);
  }
  return true;
}

#endif
