#include <gtest/gtest.h>

#include "header/LineReaders.h"
#include "platform/Exceptions.h"
#include "support/AllocationCounter.h"
#include "support/TempDir.h"

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines Copy(const TextLines& text) {
  Lines lines;
  for (std::size_t i = 0; i < text.size(); ++i) lines.emplace_back(text[i]);
  return lines;
}

class LineReadersTest : public ::testing::Test {
 protected:
  // The lines of `bytes` as header lines ('H'), text lines ('T') or compact text ('C'); the first two
  // read into lines that held another file before.
  Lines Read(char reader, std::string_view bytes) {
    if (reader == 'C') return Copy(ReadCompactText(dir.Write("f.txt", bytes)));
    TextLines lines;
    const auto read = reader == 'H' ? ReadHeaderLines : ReadTextLines;
    read(dir.Write("left.txt", "left over\nfrom before"), lines);
    read(dir.Write("f.txt", bytes), lines);
    return Copy(lines);
  }
  TempDir dir;
};

TEST_F(LineReadersTest, LineEndsEmptyLinesByteOrderMarksAndZeroBytes) {
  struct Row {
    char reader;
    std::string bytes;
    Lines lines;
  };
  const std::string bom = "\xEF\xBB\xBF";
  std::vector<Row> rows = {
      // Header lines keep empty lines and always end with a last line.
      {'H', "A\n\n\nB", {"A", "", "", "B"}},
      {'H', "", {""}},
      {'H', "\n", {"", ""}},
      // The first line end decides which character repeats as an empty line: after CR LF a lone LF
      // is the second half of a pair.
      {'H', "A\r\n\nB", {"A", "B"}},
      {'H', "A\r\nB\nC", {"A", "B", "C"}},
      {'H', "A\n\r\rB", {"A", "B"}},
      {'H', "A\n\r\nB", {"A", "", "B"}},
      // Header lines skip a whole byte order mark; text lines keep it.
      {'H', bom + "A\r\nB", {"A", "B"}},
      {'H', bom, {""}},
      {'H', "\xEF\xBB", {"\xEF\xBB"}},
      {'T', bom + "A\r\nB", {bom + "A", "B"}},
      {'C', bom + "A", {bom + "A"}},
      // A zero byte cuts a header or text line short, but not a compact line.
      {'H', "A\0B\nC"s, {"A", "C"}},
      {'H', "A\n\0\nB"s, {"A", "", "B"}},
      {'T', "X\0"s, {"X"}},
      {'C', "A\0B\nC"s, {"A\0B"s, "C"}},
      // Compact lines drop empty lines and a final empty line; a line end at the start ends an empty line.
      {'C', "A\r\n\r\nB\r\n", {"A", "B"}},
      {'C', "A\n\n\r\rB", {"A", "B"}},
      {'C', "A\rB", {"A", "B"}},
      {'C', "", {""}},
      {'C', "\r\nA", {"", "A"}},
  };
  for (std::string_view end : {"\r\n", "\n", "\r", "\n\r"}) {
    const std::string text = "one" + std::string(end) + std::string(end) + "two" + std::string(end);
    rows.push_back({'H', text, {"one", "", "two", ""}});
    rows.push_back({'T', text, {"one", "", "two", ""}});
  }
  for (const Row& row : rows) EXPECT_EQ(Read(row.reader, row.bytes), row.lines) << row.reader << ": " << row.bytes;
}

TEST_F(LineReadersTest, LinesTakeAFewTimesTheFileSizeHoweverShort) {
  // A megabyte of nothing but line ends: a million lines.
  for (std::string_view end : {"\n", "\r\n"}) {
    std::string bytes;
    while (bytes.size() < 1000000) bytes += end;
    const std::string path = dir.Write("breaks.txt", bytes);
    const AllocationPeak peak;
    TextLines lines;
    ReadHeaderLines(path, lines);
    EXPECT_EQ(lines.size(), 1000000 / end.size() + 1);
    EXPECT_LE(peak.Bytes(), 5 * bytes.size() + 4096) << end.size();
  }
  const std::string path = dir.Write("numbers.txt", std::string(1000000, '\n').replace(0, 1, "1"));
  const AllocationPeak peak;
  const TextLines compact = ReadCompactText(path);
  EXPECT_EQ(Copy(compact), Lines{"1"});
  EXPECT_LE(peak.Bytes(), 1000000 + 4096);
}

TEST_F(LineReadersTest, AMissingFileOrAFolderRaisesTheFileException) {
  TextLines lines;
  EXPECT_THROW(ReadHeaderLines(dir.File("missing.shdr"), lines), CFileException);
  EXPECT_THROW(ReadTextLines(dir.Path().string(), lines), CFileException);  // a folder is no file
  EXPECT_THROW(ReadCompactText(dir.File("missing.vmrk")), CFileException);
}

}  // namespace
