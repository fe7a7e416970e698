#include "header/LineReaders.h"

#include <cstring>

#include "platform/Files.h"

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// The whole file behind an optional byte order mark, in a buffer of the file's length plus one
// zero-filled byte (more zeros when the mark was skipped).
std::vector<char> ReadTerminated(std::string_view path, bool skipByteOrderMark) {
  CFile file(path, CFile::Share::denyWrite);
  const std::int64_t length = file.GetLength();
  std::size_t skipped = 0;
  if (skipByteOrderMark && length >= 3) {
    unsigned char mark[3] = {};
    if (file.Read(mark, 3) == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
      skipped = 3;
    else
      file.SeekToBegin();
  }
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  file.Read(buffer.data(), static_cast<std::size_t>(length) - skipped);
  return buffer;
}

// A line's text ends at its first 0 byte.
std::string TextUpToZero(const char* begin, const char* end) {
  const void* zero = std::memchr(begin, '\0', std::size_t(end - begin));
  return std::string(begin, zero ? static_cast<const char*>(zero) : end);
}

// Splits the buffer, its final 0 byte included, into lines; the first line end met is the file's
// terminator T, and a repeated T after a line end is an empty line.
void SplitTerminated(const std::vector<char>& buffer, std::vector<std::string>& lines) {
  lines.clear();
  const char* const begin = buffer.data();
  const char* const end = begin + buffer.size();
  const char* lineStart = begin;
  bool afterLineEnd = false;
  char terminator = 0;
  for (const char* p = begin; p != end; ++p) {
    if (!IsLineEnd(*p)) {
      if (afterLineEnd) lineStart = p, afterLineEnd = false;
    } else if (!afterLineEnd) {
      if (terminator == 0) terminator = *p;
      lines.push_back(TextUpToZero(lineStart, p));
      afterLineEnd = true;
    } else if (*p == terminator) {
      lines.emplace_back();
    }
  }
  // The walk ended on the final 0 byte, so a last line (perhaps empty) always follows.
  lines.push_back(TextUpToZero(lineStart, end));
}

}  // namespace

void ReadHeaderLines(std::string_view path, std::vector<std::string>& lines) {
  SplitTerminated(ReadTerminated(path, true), lines);
}

void ReadTextLines(std::string_view path, std::vector<std::string>& lines) {
  SplitTerminated(ReadTerminated(path, false), lines);
}

CompactText ReadCompactText(std::string_view path) {
  CFile file(path, CFile::Share::denyNone);
  CompactText result;
  result.text.assign(static_cast<std::size_t>(file.GetLength()), '\0');
  result.text.resize(file.Read(result.text.data(), result.text.size()));

  const std::string& bytes = result.text;
  std::size_t lineStart = 0;
  bool afterLineEnd = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (!IsLineEnd(bytes[i])) {
      if (afterLineEnd) lineStart = i, afterLineEnd = false;
    } else if (!afterLineEnd) {
      result.lines.push_back({lineStart, i - lineStart});
      afterLineEnd = true;
    }
  }
  if (!afterLineEnd) result.lines.push_back({lineStart, bytes.size() - lineStart});
  return result;
}

void ReadCompactLines(std::string_view path, std::vector<std::string>& lines) {
  const CompactText text = ReadCompactText(path);
  lines.clear();
  lines.reserve(text.lines.size());
  for (std::size_t i = 0; i < text.lines.size(); ++i) lines.emplace_back(text[i]);
}
