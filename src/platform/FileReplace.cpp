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

bool CreateFresh(const std::string& path) {
  struct stat old {};
  if (::lstat(path.c_str(), &old) == 0 &&
      (!(S_ISREG(old.st_mode) || S_ISLNK(old.st_mode)) || old.st_uid != ::geteuid() || ::unlink(path.c_str()) != 0))
    return false;
  const Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  return file.Get() >= 0;
}

#endif
