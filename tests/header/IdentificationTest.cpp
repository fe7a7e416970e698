#include "header/HeaderTestSupport.h"

namespace {

TEST_F(HeaderTest, TheIdentificationLine) {
  struct Row {
    std::string line;
    bool identifies;
  };
  const Row rows[] = {
      // Five of the seven words, in any case, and a version of 1 or more.
      {"TARVO SYLVEX DATA EXCHANGE HEADER FILE VERSION 2.0", true},
      {"Sylvex Data Exchange Header File, Version 1", true},
      {"Tarvo,Sylvex,Data,Exchange,Headr,Fil,Version\t1.0", true},
      {"Version 1.0 Data Data Data Data Data", true},  // repeated words count again
      {"2 Tarvo Sylvex Data Exchange Header", true},
      {"Sylvex Data Exchange Version 1.0 Bogus", false},
      {"Tarvo Sylvex Data Exchange Header File Version 0.9", false},
      {"Tarvo Sylvex Data Exchange Header File Version", false},
      {"TarvoSylvex Data Exchange Header File 1.0", false},
      // The first digit of the line starts the version number.
      {"Tarvo Sylvex Data Exchange Header File Version 0 3.0", false},
      {"Tarvo Sylvex Data Exchange Header File-0.5 Version 1.0", false},
      {"Tarvo Sylvex Data Exchange Header File Version v1.5beta", true},
      {"Tarvo Sylvex Data Exchange Header File Version 0x10", false},
      {"Tarvo Sylvex Data Exchange Header File Version 1e999", false},
      // A marker file is refused whatever its words.
      {"Tarvo Sylvex Data Exchange Marker File Version 1.0", false},
      {"Tarvo Sylvex Data Exchange Header File Version 1.0 markers", false},
      {"", false},  // no message
  };
  for (const Row& row : rows) {
    ReadHeaderLines(dir.Write("id.shdr", row.line + "\r\n"), header.m_Lines);
    header.m_ErrorMessage.clear();
    EXPECT_EQ(header.CheckIdentification(), row.identifies) << row.line;
    EXPECT_EQ(header.m_ErrorMessage, row.identifies || row.line.empty()
                                         ? ""
                                         : "Header file contains invalid ID string: \"" + row.line + "\".");
  }
}

TEST_F(HeaderTest, LoadAnswersNotThisFormatOrGoesOnToTheSections) {
  const std::string id(kHeaderIdLine);
  // One line without a line end is fewer than two lines, however valid.
  const std::pair<std::string, int> rows[] = {{"Tarvo Sylvex Data Exchange Header File Version 0.9\r\n", 1},
                                              {"", 1},
                                              {id, 1},
                                              {id + "\n", 2},
                                              {"\xEF\xBB\xBF" + id + "\r\n[Other]\r\n", 2}};
  for (const auto& [text, result] : rows) {
    header = CHeaderFile();
    EXPECT_EQ(header.Load(dir.Write("a.shdr", text)), result) << text;
    if (result == 2) {
      EXPECT_EQ(header.m_ErrorMessage, "Missing section \"[Common Infos]\".") << text;
    }
  }
}

}  // namespace
