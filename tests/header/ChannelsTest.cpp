#include <sstream>
#include <vector>

#include "header/HeaderTestSupport.h"

namespace {

class ChannelsTest : public HeaderTest {
 protected:
  int LoadChannels(int channels, std::string_view sections, std::string_view extra = "") {
    return LoadBinary(channels, 4000, extra, sections);
  }
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

TEST_F(ChannelsTest, EntriesUnitsAndCoordinates) {
  ASSERT_EQ(LoadChannels(3, ""), 0);
  EXPECT_EQ(Channels(), (std::vector<std::string>{"1||1|0||0,0,0", "2||1|0||0,0,0", "3||1|0||0,0,0"}));
  header = CHeaderFile();
  ASSERT_EQ(LoadChannels(12,
                         "[Channel Infos]\nCh1=Fp1,,0.1,\xB5V\nch2= Cz , Ref\\1A , 0.5 , mV , ignored,x\n"
                         "CH3=Pz\\1x\nCh4=,\nCh5=a,,1,\xB5V/Hz\nCh6=b,,1,-\nCh7=c,,1,\xB5V\xB2\n"
                         "Ch8=d,,1,\xB5v\xB2/hz\nCh9=e,,1,\xB5V/m\xB2\nCh10=f,,1,\xB0"
                         "C\nCh11=g,,1,\nCh13=Beyond,,0\n"
                         "[Coordinates]\nCh1=1,90,-45\nCh2=1,90\nCh3=1,2,3,4\nch4= 1 , , 2.5 \nCh5=0x10,inf,nan\n"),
            0)
      << header.m_ErrorMessage;
  // Only three decimal fields count as coordinates: hexadecimal, "inf" and "nan" read as 0.
  EXPECT_EQ(Channels(), (std::vector<std::string>{"Fp1||0.1|0||at 1,90,-45", "Cz|Ref,A|0.5|1|mV|1,90,0",
                                                  "Pz,x||1|0||1,2,3", "||1|0||at 1,0,2.5", "a||1|2||at 0,0,0",
                                                  "b||1|1||0,0,0", "c||1|3||0,0,0", "d||1|4||0,0,0", "e||1|5||0,0,0",
                                                  "f||1|1|U+176C|0,0,0", "g||1|0||0,0,0", "12||1|0||0,0,0"}));
}

TEST_F(ChannelsTest, AResolutionMustBeGreaterThanZero) {
  for (std::string_view value : {"Fp1,,0", "Fp1,,-1", "Fp1,,word", "Fp1,, 1e-60 ,\xB5V", "Fp1,,0x1p-1", "Fp1,,1e39"}) {
    EXPECT_EQ(LoadChannels(3, "[Channel Infos]\nCh1=a\nCh3=" + std::string(value) + "\n"), 2);
    EXPECT_EQ(header.m_ErrorMessage, "\"ch3\" key has invalid value \"" + std::string(value) + "\".");
    header = CHeaderFile();
  }
  // The whole value as written, blanks included.
  EXPECT_EQ(LoadChannels(1, "[Channel Infos]\nCh1= X ,, 0 \n"), 2);
  EXPECT_EQ(header.m_ErrorMessage, "\"ch1\" key has invalid value \" X ,, 0 \".");
}

TEST_F(ChannelsTest, CommentInAnsiAndUtf16) {
  ASSERT_EQ(LoadChannels(1, "[Comment]\nFirst line \xB5V\n\n; third\n\n\n \t\n"), 0);
  EXPECT_EQ(header.m_Comment, "First line \xB5V\n\n; third");
  EXPECT_EQ(header.m_CommentW, OLESTR("First line \u00B5V\n\n; third"));
  header = CHeaderFile();
  ASSERT_EQ(LoadChannels(1, ""), 0);
  EXPECT_EQ(header.m_Comment, "");
  EXPECT_EQ(header.m_CommentW, OLESTR(""));
}

TEST_F(ChannelsTest, Utf8NamesUnitsAndCommentArriveInAnsi) {
  const std::string text =
      "[Channel Infos]\nCh1=Gr\xC3\xB6\xC3\x9F"
      "e,R\xC3\xA9"
      "f,1,\xC2\xB5V\n"
      "Ch2=\xE4\xB8\xAD,,1,\xE4\xB8\xAD\n[Comment]\nM\xC3\xBCller \xE2\x82\xAC \xE4\xB8\xAD\n";
  ASSERT_EQ(LoadChannels(2, text, "Codepage=UTF-8\n"), 0);
  EXPECT_EQ(Channels(), (std::vector<std::string>{"Gr\xF6\xDF"
                                                  "e|R\xE9"
                                                  "f|1|0||0,0,0",
                                                  "?||1|1|U+20013|0,0,0"}));
  EXPECT_EQ(header.m_Comment, "M\xFCller \x80 ?");
  EXPECT_EQ(header.m_CommentW, OLESTR("M\u00FCller \u20AC \u4E2D"));
  // Without "Codepage" the same bytes are ANSI text.
  header = CHeaderFile();
  ASSERT_EQ(LoadChannels(2, text), 0);
  EXPECT_EQ(header.m_Channels[0].Name,
            "Gr\xC3\xB6\xC3\x9F"
            "e");
}

}  // namespace
