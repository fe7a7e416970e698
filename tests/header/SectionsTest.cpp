#include "header/HeaderTestSupport.h"

namespace {

// Splits a header's lines without interpreting them (the first line, here "-", is the identification
// line), and shows every section as "[name] key=value|key=value".
TEST_F(HeaderTest, SectionsKeysAndValues) {
  const std::pair<std::string, std::string> rows[] = {
      // Keys in lower case, values as written; blanks around "=" belong to key and value.
      {"-\n[Common Infos]\nDataFile=S01.EEG\nChannels=32", "[common infos] channels=32|datafile=S01.EEG"},
      {"-\n[A]\nKey = value\nb=1;remark\nc=x\ty\nd=\ne=a=b", "[a] b=1|c=x|d=|e=a=b|key = value"},
      // Comments, blanks, lines without "=" or before the first section set no key.
      {"-\nbefore=section\n[A]\n; remark=1\n indented=1\n\ttab=1\nnoequals\n\nx=1\n=empty key is no letter", "[a] x=1"},
      // A repeated key or section: the later value wins.
      {"-\n[A]\nk=1\nj=2\n[B]\nk=3\n[a]\nk=4", "[a] j=2|k=4 [b] k=3"},
      // Text behind the bracket is ignored; a line without one is no section line.
      {"-\n[A] trailing words\nk=1\n[B without bracket\nj=2", "[a] j=2|k=1"},
      // [Comment] collects every line up to the next section.
      {"-\n[Comment]\nfirst\n\n; not a remark here\n indented\nkey=value\n[broken\n[Other]\nk=1\n[COMMENT]\nagain",
       "[comment] comment=first\n\n; not a remark here\n indented\nkey=value\nagain\n [other] k=1"},
      // The first line is the identification line, whatever it holds.
      {"[A]\nk=1", ""},
  };
  for (const auto& [text, expected] : rows) {
    header = CHeaderFile();
    ReadHeaderLines(dir.Write("h.shdr", text), header.m_Lines);
    header.SplitSections();
    std::string sections;
    for (const auto& [name, keys] : header.m_Sections) {
      sections += (sections.empty() ? "[" : " [") + name + "]";
      for (const auto& [key, value] : keys)
        sections += (&value == &keys.begin()->second ? " " : "|") + key + "=" + value;
    }
    EXPECT_EQ(sections, expected) << text;
  }
}

}  // namespace
