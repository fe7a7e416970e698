#pragma once
// Replacing a file by a new one written beside it.
#include <string>

// Renames the file `from` over `to`. When `to` is a file of the user's own, the renamed file takes
// its permission bits (never a setuid, setgid or sticky bit); otherwise it keeps its own. False when
// the rename fails.
bool RenameOver(const std::string& from, const std::string& to);

#if !defined(_WIN32)
// Creates an empty file at `path` exclusively, after removing a leftover there that is the user's own
// file or link (never what a link points to). False when something else is in the way or the folder
// refuses.
bool CreateFresh(const std::string& path);
#endif
