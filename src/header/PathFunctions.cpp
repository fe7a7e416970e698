#include "header/PathFunctions.h"

#include <algorithm>

#include "header/TextRules.h"

namespace {

std::string WithBackslashes(std::string_view path) {
  std::string copy(path);
  std::replace(copy.begin(), copy.end(), '/', '\\');
  return copy;
}

std::string DriveOf(const std::string& path) {
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') return path.substr(0, 2);
  if (path.size() < 2 || path[0] != '\\' || path[1] != '\\') return {};
  // \\server\share: the share name must be there, with the server name before it.
  const std::string_view behind = std::string_view(path).substr(2);
  const std::size_t firstSlash = behind.find('\\');
  if (firstSlash == std::string_view::npos || firstSlash == 0 || firstSlash == behind.size() - 1) return {};
  const std::size_t afterShare = behind.find('\\', firstSlash + 1);
  return afterShare == std::string_view::npos ? path : path.substr(0, 2 + afterShare);
}

}  // namespace

std::string GetDrive(std::string_view path) { return DriveOf(WithBackslashes(path)); }

std::string GetDirectory(std::string_view path) {
  const std::string copy = WithBackslashes(path);
  const std::string rest = copy.substr(DriveOf(copy).size());
  const std::size_t lastSlash = rest.rfind('\\');
  return lastSlash == std::string::npos ? std::string() : rest.substr(0, lastSlash + 1);
}

std::string GetFileTitle(std::string_view path) {
  const std::string copy = WithBackslashes(path);
  if (copy.empty() || copy.back() == '\\' || copy.back() == ':') return {};
  const std::size_t lastSlash = copy.rfind('\\');
  std::string name = lastSlash == std::string::npos ? copy : copy.substr(lastSlash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

std::string ReplaceNoCase(std::string_view text, std::string_view pattern, std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  std::string result;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= pattern.size() && EqualsNoCase(text.substr(i, pattern.size()), pattern)) {
      result += replacement;
      i += pattern.size();
    } else {
      result += text[i++];
    }
  }
  return result;
}

bool HasHeaderExtension(std::string_view path) {
  return EqualsNoCase(path.substr(path.size() >= 5 ? path.size() - 5 : 0), ".shdr");
}
