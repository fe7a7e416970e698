#include <gtest/gtest.h>

#include "header/LineReaders.h"
#include "platform/Exceptions.h"
#include "support/AllocationCounter.h"
#include "support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

Lines Copy(const TextLines& text) {
  Lines lines;
  for (std::size_t i = 0; i < text.size(); ++i) lines.emplace_back(text[i]);
  return lines;
}

class LineReadersTest : public ::testing::Test {
 protected:
  Lines Header(std::string_view bytes) { return Read(ReadHeaderLines, bytes); }
  Lines Text(std::string_view bytes) { return Read(ReadTextLines, bytes); }
  Lines Compact(std::string_view bytes) { return Copy(ReadCompactText(dir.Write("f.txt", bytes))); }

  Lines Read(void (*reader)(std::string_view, TextLines&), std::string_view bytes) {
    TextLines lines;
    reader(dir.Write("left.txt", "left over\nfrom before"), lines);
    reader(dir.Write("f.txt", bytes), lines);
    return Copy(lines);
  }
  TempDir dir;
};

TEST_F(LineReadersTest, HeaderLinesKeepEmptyLinesAndAlwaysEndWithALastLine) {
  EXPECT_EQ(Header("A\r\nB\r\n"), (Lines{"A", "B", ""}));
  EXPECT_EQ(Header("A\r\n\r\nB"), (Lines{"A", "", "B"}));
  EXPECT_EQ(Header("A\n\n\nB"), (Lines{"A", "", "", "B"}));
  EXPECT_EQ(Header(""), (Lines{""}));
  EXPECT_EQ(Header("\n"), (Lines{"", ""}));
}

TEST_F(LineReadersTest, EveryLineEndGivesTheSameLines) {
  const Lines expected = {"one", "", "two", ""};
  for (std::string_view end : {"\r\n", "\n", "\r", "\n\r"}) {
    std::string text = "one" + std::string(end) + std::string(end) + "two" + std::string(end);
    EXPECT_EQ(Header(text), expected) << "line end of " << end.size() << " bytes";
    EXPECT_EQ(Text(text), expected);
  }
}

TEST_F(LineReadersTest, TheFirstLineEndDecidesWhichCharacterRepeatsAsEmptyLine) {
  // The terminator is CR: a lone LF after a line end is the second half of a pair, not a line.
  EXPECT_EQ(Header("A\r\n\nB"), (Lines{"A", "B"}));
  EXPECT_EQ(Header("A\r\nB\nC"), (Lines{"A", "B", "C"}));
  EXPECT_EQ(Header("A\n\r\rB"), (Lines{"A", "B"}));
  EXPECT_EQ(Header("A\n\r\nB"), (Lines{"A", "", "B"}));
}

TEST_F(LineReadersTest, HeaderLinesSkipTheByteOrderMarkAndTextLinesKeepIt) {
  EXPECT_EQ(Header("\xEF\xBB\xBF"
                   "A\r\nB"),
            (Lines{"A", "B"}));
  EXPECT_EQ(Header("\xEF\xBB\xBF"
                   "A\r\nB\r\n"),
            Header("A\r\nB\r\n"));
  EXPECT_EQ(Header("\xEF\xBB\xBF"), (Lines{""}));
  EXPECT_EQ(Header("\xEF\xBB"), (Lines{"\xEF\xBB"}));
  EXPECT_EQ(Text("\xEF\xBB\xBF"
                 "A\r\nB"),
            (Lines{"\xEF\xBB\xBF"
                   "A",
                   "B"}));
  EXPECT_EQ(Compact("\xEF\xBB\xBF"
                    "A"),
            (Lines{"\xEF\xBB\xBF"
                   "A"}));
}

TEST_F(LineReadersTest, AZeroByteCutsAHeaderLineShortButNotACompactLine) {
  using namespace std::string_literals;
  EXPECT_EQ(Header("A\0B\nC"s), (Lines{"A", "C"}));
  EXPECT_EQ(Header("A\n\0\nB"s), (Lines{"A", "", "B"}));
  EXPECT_EQ(Text("X\0"s), (Lines{"X"}));
  EXPECT_EQ(Compact("A\0B\nC"s), (Lines{"A\0B"s, "C"}));
}

TEST_F(LineReadersTest, CompactLinesDropEmptyLinesAndAFinalEmptyLine) {
  EXPECT_EQ(Compact("A\r\n\r\nB\r\n"), (Lines{"A", "B"}));
  EXPECT_EQ(Compact("A\n\n\r\rB"), (Lines{"A", "B"}));
  EXPECT_EQ(Compact("A\rB"), (Lines{"A", "B"}));
  EXPECT_EQ(Compact(""), (Lines{""}));
  // A line end at the very start ends an empty first line.
  EXPECT_EQ(Compact("\r\nA"), (Lines{"", "A"}));
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
  TempDir dir;
  TextLines lines;
  try {
    ReadHeaderLines(dir.File("missing.shdr"), lines);
    FAIL() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::cannotOpen);
    EXPECT_EQ(e.m_strFileName, dir.File("missing.shdr"));
  }
  try {
    ReadTextLines(dir.Path().string(), lines);  // a folder is no file
    FAIL() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::cannotOpen);
  }
  EXPECT_THROW(ReadCompactText(dir.File("missing.vmrk")), CFileException);
}

}  // namespace
