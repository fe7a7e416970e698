#include "header/HeaderTestSupport.h"

namespace {

// A load answers 1 (not this format) unless the first of at least two lines identifies the format:
// five of the seven words in any case, and a version of 1 or more. It then goes on to the sections.
TEST_F(HeaderTest, TheIdentificationLine) {
  struct Row {
    std::string line;
    int result;
    std::string_view rest = "\r\n[Other]\r\n";
  };
  const Row rows[] = {
      {"TARVO SYLVEX DATA EXCHANGE HEADER FILE VERSION 2.0", 2},
      {"Sylvex Data Exchange Header File, Version 1", 2},
      {"Tarvo,Sylvex,Data,Exchange,Headr,Fil,Version\t1.0", 2},
      {"Version 1.0 Data Data Data Data Data", 2},  // repeated words count again
      {"2 Tarvo Sylvex Data Exchange Header", 2},
      {"\xEF\xBB\xBF" + std::string(kHeaderIdLine), 2},
      {std::string(kHeaderIdLine), 2, "\n"},
      {std::string(kHeaderIdLine), 1, ""},  // one line without a line end is fewer than two lines
      {"Sylvex Data Exchange Version 1.0 Bogus", 1},
      {"Tarvo Sylvex Data Exchange Header File Version 0.9", 1},
      {"Tarvo Sylvex Data Exchange Header File Version", 1},
      {"TarvoSylvex Data Exchange Header File 1.0", 1},
      // The first digit of the line starts the version number.
      {"Tarvo Sylvex Data Exchange Header File Version 0 3.0", 1},
      {"Tarvo Sylvex Data Exchange Header File-0.5 Version 1.0", 1},
      {"Tarvo Sylvex Data Exchange Header File Version v1.5beta", 2},
      {"Tarvo Sylvex Data Exchange Header File Version 0x10", 1},
      {"Tarvo Sylvex Data Exchange Header File Version 1e999", 1},
      // A marker file is refused whatever its words.
      {"Tarvo Sylvex Data Exchange Marker File Version 1.0", 1},
      {"Tarvo Sylvex Data Exchange Header File Version 1.0 markers", 1},
      {"", 1},  // no message
      {"", 1, ""},
  };
  for (const Row& row : rows) {
    header = CHeaderFile();
    EXPECT_EQ(header.Load(dir.Write("id.shdr", row.line + std::string(row.rest))), row.result) << row.line;
    EXPECT_EQ(header.m_ErrorMessage, row.result == 2 ? "Missing section \"[Common Infos]\"."
                                     : row.line.empty() || row.rest.empty()
                                         ? ""
                                         : "Header file contains invalid ID string: \"" + row.line + "\".");
  }
}

}  // namespace
