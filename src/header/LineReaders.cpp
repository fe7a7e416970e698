#include "header/LineReaders.h"

#include <algorithm>
#include <cstring>

#include "platform/Files.h"
#include "platform/Memory.h"

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
  const std::size_t length = static_cast<std::size_t>(file.GetLength());
  result.text = std::make_unique_for_overwrite<char[]>(length);
  AdviseLargeBuffer(result.text.get(), length);
  result.size = file.Read(result.text.get(), length);

  // Each line ends at the next CR or LF; the next of each is looked up once, with memchr.
  const char* const begin = result.text.get();
  const char* const end = begin + result.size;
  auto next = [end](const char* from, char c) {
    const void* found = std::memchr(from, c, std::size_t(end - from));
    return found ? static_cast<const char*>(found) : end;
  };
  const char* nextCr = next(begin, '\r');
  const char* nextLf = next(begin, '\n');
  const char* lineStart = begin;
  while (lineStart < end) {
    const char* lineEnd = std::min(nextCr, nextLf);
    result.lines.push_back({std::size_t(lineStart - begin), std::size_t(lineEnd - lineStart)});
    if (lineEnd == end) return result;
    // A run of CR and LF ends one line.
    lineStart = lineEnd;
    while (lineStart < end && IsLineEnd(*lineStart)) ++lineStart;
    if (nextCr < lineStart) nextCr = next(lineStart, '\r');
    if (nextLf < lineStart) nextLf = next(lineStart, '\n');
  }
  // The file ends with a line end (no last line), or is empty (one empty line).
  if (result.size == 0) result.lines.push_back({0, 0});
  return result;
}

void ReadCompactLines(std::string_view path, std::vector<std::string>& lines) {
  const CompactText text = ReadCompactText(path);
  lines.clear();
  lines.reserve(text.lines.size());
  for (std::size_t i = 0; i < text.lines.size(); ++i) lines.emplace_back(text[i]);
}
