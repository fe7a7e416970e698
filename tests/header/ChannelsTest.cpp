#include <sstream>
#include <vector>

#include "header/HeaderTestSupport.h"

namespace {

class ChannelsTest : public HeaderTest {
 protected:
  // Each channel as "name|reference|resolution|unit code|unit text|coordinates", "at" when they count.
  std::vector<std::string> Channels() {
    std::vector<std::string> channels;
    for (const CChannelInfo& c : header.m_Channels) {
      std::ostringstream text;
      text << c.Name << '|' << c.Reference << '|' << c.Resolution << '|' << c.UnitCode << '|';
      for (auto w : c.UnitText) text << (w < 128 ? std::string(1, char(w)) : "U+" + std::to_string(int(w)));
      text << (c.HasCoordinates ? "|at " : "|") << c.Coordinates[0] << ',' << c.Coordinates[1] << ','
           << c.Coordinates[2];
      channels.push_back(text.str());
    }
    return channels;
  }
};

TEST_F(ChannelsTest, EntriesUnitsCoordinatesAndComment) {
  ASSERT_EQ(LoadBinary(12, 4000, "",
                       "[Channel Infos]\nCh1=Fp1,,0.1,\xB5V\nch2= Cz , Ref\\1A , 0.5 , mV , ignored,x\n"
                       "CH3=Pz\\1x\nCh4=,\nCh5=a,,1,\xB5V/Hz\nCh6=b,,1,-\nCh7=c,,1,\xB5V\xB2\n"
                       "Ch8=d,,1,\xB5v\xB2/hz\nCh9=e,,1,\xB5V/m\xB2\nCh10=f,,1,\260C\nCh11=g,,1\nCh13=Beyond,,0\n"
                       "[Coordinates]\nCh1=1,90,-45\nCh2=1,90\nCh3=1,2,3,4\nch4= 1 , , 2.5 \nCh5=0x10,inf,nan\n"
                       "[Comment]\nFirst line \xB5V\n\n; third\n\n\n \t\n"),
            0)
      << header.m_ErrorMessage;
  // Only three decimal fields count as coordinates: hexadecimal, "inf" and "nan" read as 0.
  EXPECT_EQ(Channels(), (std::vector<std::string>{"Fp1||0.1|0||at 1,90,-45", "Cz|Ref,A|0.5|1|mV|1,90,0",
                                                  "Pz,x||1|0||1,2,3", "||1|0||at 1,0,2.5", "a||1|2||at 0,0,0",
                                                  "b||1|1||0,0,0", "c||1|3||0,0,0", "d||1|4||0,0,0", "e||1|5||0,0,0",
                                                  "f||1|1|U+176C|0,0,0", "g||1|0||0,0,0", "12||1|0||0,0,0"}));
  // The comment in ANSI and UTF-16, without the blank lines at its end.
  EXPECT_EQ(header.m_Comment, "First line \xB5V\n\n; third");
  EXPECT_EQ(header.m_CommentW, OLESTR("First line \u00B5V\n\n; third"));
}

TEST_F(ChannelsTest, AResolutionMustBeGreaterThanZero) {
  // The whole value as written, blanks included.
  for (std::string_view value :
       {"Fp1,,0", "Fp1,,-1", "Fp1,,word", "Fp1,, 1e-60 ,\xB5V", "Fp1,,0x1p-1", "Fp1,,1e39", " X ,, 0 "}) {
    EXPECT_EQ(LoadBinary(3, 4000, "", "[Channel Infos]\nCh1=a\nCh3=" + std::string(value) + "\n"), 2);
    EXPECT_EQ(header.m_ErrorMessage, "\"ch3\" key has invalid value \"" + std::string(value) + "\".");
    header = CHeaderFile();
  }
}

TEST_F(ChannelsTest, Utf8NamesUnitsAndCommentArriveInAnsi) {
  const std::string text =
      "[Channel Infos]\nCh1=Gr\303\266\303\237e,R\303\251f,1,\xC2\xB5V\n"
      "Ch2=\xE4\xB8\xAD,,1,\xE4\xB8\xAD\n[Comment]\nM\xC3\xBCller \xE2\x82\xAC \xE4\xB8\xAD\n";
  ASSERT_EQ(LoadBinary(2, 4000, "Codepage=UTF-8\n", text), 0);
  EXPECT_EQ(Channels(), (std::vector<std::string>{"Gr\366\337e|R\351f|1|0||0,0,0", "?||1|1|U+20013|0,0,0"}));
  EXPECT_EQ(header.m_Comment, "M\xFCller \x80 ?");
  EXPECT_EQ(header.m_CommentW, OLESTR("M\u00FCller \u20AC \u4E2D"));
  // Without "Codepage" the same bytes are ANSI text.
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(2, 4000, "", text), 0);
  EXPECT_EQ(header.m_Channels[0].Name, "Gr\303\266\303\237e");
}

}  // namespace
