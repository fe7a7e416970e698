#pragma once
// Replacing a file by a new one written beside it.
#include <string>

// Renames the file `from` over `to`. When `to` is a file of the user's own, the renamed file takes
// its permission bits (never a setuid, setgid or sticky bit); otherwise it keeps its own. False when
// the rename fails.
bool RenameOver(const std::string& from, const std::string& to);

#if !defined(_WIN32)
#include <cstdint>
#include <string_view>

#include "platform/Descriptor.h"

// A file made for new content: created exclusively (after removing a leftover there that is the
// user's own file or link, never what a link points to) and held open, so that it is reached through
// its descriptor whatever becomes of its name.
class FreshFile {
 public:
  // False when something else is in the way or the folder refuses.
  bool Create(const std::string& path);
  // A name that opens this very file (/proc/self/fd/N), for a library that opens files by name.
  std::string DescriptorPath() const;
  // True while `path` still names this file.
  bool StillAt(const std::string& path) const;
  bool WriteAt(std::uint64_t offset, std::string_view bytes) const;

 private:
  Descriptor m_File;
  std::uint64_t m_Device = 0, m_Inode = 0;
};
#endif
