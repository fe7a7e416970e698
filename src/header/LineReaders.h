#pragma once
// The three line readers. Each reads the file at `path` whole into one buffer (ReadCompactText maps
// it where it can) and keeps its lines, in file order, as the offsets where they start, so that a
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
#include <cstddef>
#include <cstdint>
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

  TextLines();
  ~TextLines();
  TextLines(TextLines&&) noexcept;
  TextLines& operator=(TextLines&&) noexcept;

 private:
  friend void ReadHeaderLines(std::string_view path, TextLines& lines);
  friend void ReadTextLines(std::string_view path, TextLines& lines);
  friend TextLines ReadCompactText(std::string_view path);

  void ReadTerminated(std::string_view path, bool skipByteOrderMark);
  void Reserve(std::size_t lines) { m_Starts.reserve(lines); }
  void Append(std::size_t start);
  std::size_t Start(std::size_t index) const;

  struct Mapping;  // the file, held open, and its view
  // Maps the file at `path` as the text; false where it cannot.
  bool Map(std::string_view path);
  // Splits the text into compact lines.
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
};

void ReadHeaderLines(std::string_view path, TextLines& lines);
void ReadTextLines(std::string_view path, TextLines& lines);
TextLines ReadCompactText(std::string_view path);
