#include "header/HeaderTestSupport.h"

namespace {

class SectionsTest : public HeaderTest {
 protected:
  // Splits the lines of a header (identification line first) without interpreting them.
  void Split(std::vector<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text.append(text.empty() ? "" : "\n").append(line);
    ReadHeaderLines(WriteHeader(text), header.m_Lines);
    header.SplitSections();
  }
  using Section = CHeaderFile::Section;
};

TEST_F(SectionsTest, KeysAreLowerCaseAndValuesStayAsWritten) {
  Split({"[Common Infos]", "DataFile=S01.EEG", "NumberOfChannels=32"});
  EXPECT_EQ(header.m_Sections.at("common infos"), (Section{{"datafile", "S01.EEG"}, {"numberofchannels", "32"}}));
}

TEST_F(SectionsTest, CommentsBlanksAndLinesWithoutEqualsSetNoKey) {
  Split({"before=section", "[Common Infos]", "; remark=1", " indented=1", "\ttab=1", "noequals", "", "x=1",
         "=empty key is no letter"});
  EXPECT_EQ(header.m_Sections.at("common infos"), (Section{{"x", "1"}}));
  EXPECT_EQ(header.m_Sections.size(), 1u);
}

TEST_F(SectionsTest, BlanksAroundEqualsBelongToKeyAndValue) {
  Split({"[A]", "Key = value", "b=1;remark", "c=x\ty", "d=", "e=a=b"});
  EXPECT_EQ(header.m_Sections.at("a"), (Section{{"key ", " value"}, {"b", "1"}, {"c", "x"}, {"d", ""}, {"e", "a=b"}}));
}

TEST_F(SectionsTest, RepeatedKeysAndSectionsLetTheLaterValueWin) {
  Split({"[A]", "k=1", "j=2", "[B]", "k=3", "[a]", "k=4"});
  EXPECT_EQ(header.m_Sections.at("a"), (Section{{"k", "4"}, {"j", "2"}}));
  EXPECT_EQ(header.m_Sections.at("b"), (Section{{"k", "3"}}));
}

TEST_F(SectionsTest, SectionLinesIgnoreTrailingTextAndLinesWithoutBracket) {
  Split({"[A] trailing words", "k=1", "[B without bracket", "j=2"});
  EXPECT_EQ(header.m_Sections.at("a"), (Section{{"k", "1"}, {"j", "2"}}));
  EXPECT_EQ(header.m_Sections.size(), 1u);
}

TEST_F(SectionsTest, CommentSectionCollectsEveryLineUntilTheNextSection) {
  Split({"[Comment]", "first", "", "; not a remark here", " indented", "key=value", "[broken", "[Other]", "k=1",
         "[COMMENT]", "again"});
  EXPECT_EQ(header.m_Sections.at("comment").at("comment"),
            "first\n\n; not a remark here\n indented\nkey=value\nagain\n");
  EXPECT_EQ(header.m_Sections.at("other"), (Section{{"k", "1"}}));
}

TEST_F(SectionsTest, TheIdentificationLineBelongsToNoSection) {
  ReadHeaderLines(dir.Write("h.shdr", "[A]\r\nk=1"), header.m_Lines);
  header.SplitSections();
  EXPECT_EQ(header.m_Sections.size(), 0u);
}

}  // namespace
