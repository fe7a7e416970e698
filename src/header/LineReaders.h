#pragma once
// The three line readers. Each empties `lines` and fills it with the lines of the file at `path`, in
// file order; a file that cannot be opened or read raises CFileException. No content makes them fail.
//
//  - ReadHeaderLines: skips a UTF-8 byte order mark. CR, LF, CR LF and LF CR all end a line; the
//    first line end met decides which character counts again as an empty line. A last line is
//    always appended (empty after a final line end), and a 0 byte ends a line's text.
//  - ReadTextLines: the same without the byte order mark test.
//  - ReadCompactLines: any run of CR and LF ends one line, so no empty lines but a leading one; a
//    last line only when the file does not end with CR or LF. Lines keep every byte.
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

void ReadHeaderLines(std::string_view path, std::vector<std::string>& lines);
void ReadTextLines(std::string_view path, std::vector<std::string>& lines);
void ReadCompactLines(std::string_view path, std::vector<std::string>& lines);

// The lines of ReadCompactLines kept in the file's own buffer, without a copy per line.
struct CompactText {
  struct Line {
    std::size_t start;
    std::size_t length;
  };
  std::unique_ptr<char[]> text;
  std::size_t size = 0;
  std::vector<Line> lines;

  std::span<char> Text() { return {text.get(), size}; }
  std::string_view operator[](std::size_t index) const {
    return {text.get() + lines[index].start, lines[index].length};
  }
};
CompactText ReadCompactText(std::string_view path);
