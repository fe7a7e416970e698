#pragma once
// The line readers. Each reads the file at `path` whole into one buffer (the compact ones map it
// where they can) and keeps its lines, in file order, as the offsets where they start, so that a
// line costs no copy of its bytes; a file that cannot be opened or read raises CFileException. No
// content makes them fail.
//
//  - ReadHeaderLines: skips a UTF-8 byte order mark. CR, LF, CR LF and LF CR all end a line; the
//    first line end met decides which character counts again as an empty line. A last line is
//    always appended (empty after a final line end), and a 0 byte ends a line's text.
//  - ReadTextLines: the same without the byte order mark test.
//  - ReadCompactText: any run of CR and LF ends one line, so no empty lines but a leading one; a
//    last line only when the file does not end with CR or LF. Lines keep every byte. The text is
//    the file's own pages where they can be mapped, so that a large file costs no private memory
//    but its line starts; KeepWithinFile must precede each use of them.
//  - ReadCompactData: the same text without its line starts, for a data file of any length: its
//    lines are visited one after another with ForEachCompactLine.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

class TextLines {
 public:
  std::size_t size() const { return m_Starts.size(); }
  // The line's text: from its start up to the next CR or LF (or 0 byte, where that ends a line), or
  // the end of the text.
  std::string_view operator[](std::size_t index) const;
  // The whole text, which the lines are views of.
  std::string_view Text() const { return {m_pText, m_Size}; }
  // Whether the lines changed since they were split: a mapped file that another process wrote is
  // split again (within the size it had), and where it shrank, the text becomes a copy of what is
  // left, since a mapped file's bytes past its current size must not be touched (that faults).
  bool KeepWithinFile();
  // Calls visit(line) for each compact line of the text, in order.
  template <typename Visit>
  void ForEachCompactLine(Visit&& visit) const;

  TextLines();
  ~TextLines();
  TextLines(TextLines&&) noexcept;
  TextLines& operator=(TextLines&&) noexcept;

 private:
  friend void ReadHeaderLines(std::string_view path, TextLines& lines);
  friend void ReadTextLines(std::string_view path, TextLines& lines);
  friend TextLines ReadCompactText(std::string_view path);
  friend TextLines ReadCompactData(std::string_view path);

  void ReadTerminated(std::string_view path, bool skipByteOrderMark);
  void Reserve(std::size_t lines) { m_Starts.reserve(lines); }
  void Append(std::size_t start);
  std::size_t Start(std::size_t index) const;

  static bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

  struct Mapping;  // the file, held open, and its view
  // Maps the file at `path` as the text; false where it cannot.
  bool Map(std::string_view path);
  // Maps or reads the file at `path` as the text.
  void Load(std::string_view path);
  // Splits the text into compact lines, where they are kept.
  void SplitCompact();

  const char* m_pText = nullptr;   // the text: in m_Text or in the mapping
  std::unique_ptr<char[]> m_Text;  // a copy of the file
  std::unique_ptr<Mapping> m_Mapping;
  std::size_t m_Size = 0;
  // A start takes 4 bytes: its low 32 bits, and for each further 4 GiB of text the index of the
  // first line that starts there.
  std::vector<std::uint32_t> m_Starts;
  std::vector<std::size_t> m_FirstLineOfBlock;
  bool m_ZeroEndsLine = false;
  bool m_KeepsLines = false;  // compact lines: whether their starts are kept
};

template <typename Visit>
void TextLines::ForEachCompactLine(Visit&& visit) const {
  // Each line ends at the next CR or LF; the next of each is looked up once, with memchr.
  const char* const begin = m_pText;
  const char* const end = begin + m_Size;
  auto next = [end](const char* from, char c) {
    const void* found = std::memchr(from, c, std::size_t(end - from));
    return found ? static_cast<const char*>(found) : end;
  };
  const char* nextCr = next(begin, '\r');
  const char* nextLf = next(begin, '\n');
  const char* lineStart = begin;
  while (lineStart < end) {
    const char* lineEnd = std::min(nextCr, nextLf);
    visit(std::string_view(lineStart, std::size_t(lineEnd - lineStart)));
    if (lineEnd == end) return;
    // A run of CR and LF ends one line.
    lineStart = lineEnd;
    while (lineStart < end && IsLineEnd(*lineStart)) ++lineStart;
    if (nextCr < lineStart) nextCr = next(lineStart, '\r');
    if (nextLf < lineStart) nextLf = next(lineStart, '\n');
  }
  // The file ends with a line end (no last line), or is empty (one empty line).
  if (m_Size == 0) visit(std::string_view(begin, 0));
}

void ReadHeaderLines(std::string_view path, TextLines& lines);
void ReadTextLines(std::string_view path, TextLines& lines);
TextLines ReadCompactText(std::string_view path);
TextLines ReadCompactData(std::string_view path);
