#pragma once
// Path functions on ANSI paths. Each works on a copy in which every "/" is a "\".
#include <string>
#include <string_view>

// "C:" for a path that starts with a drive letter; "\\server\share" for a network path; else empty.
std::string GetDrive(std::string_view path);
// The part behind the drive up to and including its last "\"; empty when it has no "\".
std::string GetDirectory(std::string_view path);
// The file name without folder and extension.
std::string GetFileTitle(std::string_view path);
// Replaces every occurrence of `pattern` (ASCII case ignored), from left to right, without searching
// the replacements again.
std::string ReplaceNoCase(std::string_view text, std::string_view pattern, std::string_view replacement);

// True when the path ends in the header extension ".shdr", in any case.
bool HasHeaderExtension(std::string_view path);
