#include "header/HeaderTestSupport.h"

namespace {

class IdentificationTest : public HeaderTest {
 protected:
  bool Identifies(std::string line) {
    ReadHeaderLines(dir.Write("id.shdr", line + "\r\n"), header.m_Lines);
    header.m_ErrorMessage.clear();
    return header.CheckIdentification();
  }
};

TEST_F(IdentificationTest, FiveOfTheSevenWordsAndAVersionOfOneOrMore) {
  EXPECT_TRUE(Identifies("Tarvo Sylvex Data Exchange Header File Version 1.0"));
  EXPECT_TRUE(Identifies("TARVO SYLVEX DATA EXCHANGE HEADER FILE VERSION 2.0"));
  EXPECT_TRUE(Identifies("Sylvex Data Exchange Header File, Version 1"));
  EXPECT_TRUE(Identifies("Tarvo,Sylvex,Data,Exchange,Headr,Fil,Version\t1.0"));
  EXPECT_TRUE(Identifies("Version 1.0 Data Data Data Data Data"));  // repeated words count again
  EXPECT_TRUE(Identifies("2 Tarvo Sylvex Data Exchange Header"));
  EXPECT_EQ(header.m_ErrorMessage, "");
  EXPECT_FALSE(Identifies("Sylvex Data Exchange Version 1.0 Bogus"));
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Header File Version 0.9"));
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Header File Version"));
  EXPECT_FALSE(Identifies("TarvoSylvex Data Exchange Header File 1.0"));
}

TEST_F(IdentificationTest, TheFirstDigitOfTheLineStartsTheVersionNumber) {
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Header File Version 0 3.0"));
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Header File-0.5 Version 1.0"));
  EXPECT_TRUE(Identifies("Tarvo Sylvex Data Exchange Header File Version v1.5beta"));
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Header File Version 0x10"));
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Header File Version 1e999"));
}

TEST_F(IdentificationTest, AMarkerFileIsRefusedWhateverItsWords) {
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Marker File Version 1.0"));
  EXPECT_FALSE(Identifies("Tarvo Sylvex Data Exchange Header File Version 1.0 markers"));
}

TEST_F(IdentificationTest, AFailureLeavesTheMessageWithTheLineAsWritten) {
  EXPECT_FALSE(Identifies("Some Other Format 1.0"));
  EXPECT_EQ(header.m_ErrorMessage, "Header file contains invalid ID string: \"Some Other Format 1.0\".");
  EXPECT_FALSE(Identifies(""));
  EXPECT_EQ(header.m_ErrorMessage, "");  // an empty line sets no message
}

TEST_F(IdentificationTest, LoadAnswersNotThisFormat) {
  EXPECT_EQ(header.Load(dir.Write("a.shdr", "Tarvo Sylvex Data Exchange Header File Version 0.9\r\n")), 1);
  EXPECT_EQ(header.Load(dir.Write("b.shdr", "")), 1);
  // One line without a line end is fewer than two lines, however valid.
  EXPECT_EQ(header.Load(dir.Write("c.shdr", std::string(kHeaderIdLine))), 1);
}

TEST_F(IdentificationTest, AnIdentificationLineWithALineEndLeadsOnToTheSections) {
  EXPECT_EQ(header.Load(dir.Write("a.shdr", std::string(kHeaderIdLine) + "\n")), 2);
  EXPECT_EQ(header.m_ErrorMessage, "Missing section \"[Common Infos]\".");
  EXPECT_EQ(header.Load(dir.Write("b.shdr", "\xEF\xBB\xBF" + std::string(kHeaderIdLine) + "\r\n[Other]\r\n")), 2);
  EXPECT_EQ(header.m_ErrorMessage, "Missing section \"[Common Infos]\".");
}

}  // namespace
