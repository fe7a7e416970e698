#include "header/HeaderTestSupport.h"

namespace {

class ChannelsTest : public HeaderTest {
 protected:
  int LoadChannels(int channels, std::string_view sections, std::string_view extra = "") {
    return LoadBinary(channels, 4000, extra, sections);
  }
};

TEST_F(ChannelsTest, DefaultsWithoutChannelInfos) {
  ASSERT_EQ(LoadChannels(3, ""), 0);
  ASSERT_EQ(header.m_Channels.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const CChannelInfo& channel = header.m_Channels[i];
    EXPECT_EQ(channel.Name, std::to_string(i + 1));
    EXPECT_EQ(channel.Reference, "");
    EXPECT_EQ(channel.Resolution, 1.0f);
    EXPECT_EQ(channel.UnitCode, 0u);
    EXPECT_EQ(channel.UnitText, OLESTR(""));
    EXPECT_FALSE(channel.HasCoordinates);
  }
}

TEST_F(ChannelsTest, FieldsOfAChannelEntry) {
  ASSERT_EQ(LoadChannels(4,
                         "[Channel Infos]\nCh1=Fp1,,0.1,\xB5V\nch2= Cz , Ref\\1A , 0.5 , mV , ignored,x\n"
                         "CH3=Pz\\1x\nCh4=,\nCh5=Beyond,,0\n"),
            0)
      << header.m_ErrorMessage;
  const auto& channels = header.m_Channels;
  EXPECT_EQ(channels[0].Name, "Fp1");
  EXPECT_EQ(channels[0].Reference, "");
  EXPECT_EQ(channels[0].Resolution, 0.1f);
  EXPECT_EQ(channels[0].UnitCode, 0u);
  EXPECT_EQ(channels[1].Name, "Cz");
  EXPECT_EQ(channels[1].Reference, "Ref,A");
  EXPECT_EQ(channels[1].Resolution, 0.5f);
  EXPECT_EQ(channels[1].UnitCode, 1u);
  EXPECT_EQ(channels[1].UnitText, OLESTR("mV"));
  EXPECT_EQ(channels[2].Name, "Pz,x");
  EXPECT_EQ(channels[2].Resolution, 1.0f);
  EXPECT_EQ(channels[2].UnitCode, 0u);
  EXPECT_EQ(channels[3].Name, "");  // an empty name is kept
}

TEST_F(ChannelsTest, UnitsOfTheTableAndOthers) {
  ASSERT_EQ(LoadChannels(7,
                         "[Channel Infos]\nCh1=a,,1,\xB5V/Hz\nCh2=b,,1,-\nCh3=c,,1,\xB5V\xB2\n"
                         "Ch4=d,,1,\xB5v\xB2/hz\nCh5=e,,1,\xB5V/m\xB2\nCh6=f,,1,\xB0"
                         "C\nCh7=g,,1,\n"),
            0);
  const auto& channels = header.m_Channels;
  EXPECT_EQ(channels[0].UnitCode, 2u);
  EXPECT_EQ(channels[1].UnitCode, 1u);
  EXPECT_EQ(channels[1].UnitText, OLESTR(""));  // "-" is in the table: no text kept
  EXPECT_EQ(channels[2].UnitCode, 3u);
  EXPECT_EQ(channels[3].UnitCode, 4u);
  EXPECT_EQ(channels[4].UnitCode, 5u);
  EXPECT_EQ(channels[5].UnitCode, 1u);
  EXPECT_EQ(channels[5].UnitText, OLESTR("\u00B0") "C");
  EXPECT_EQ(channels[6].UnitCode, 0u);
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

TEST_F(ChannelsTest, Coordinates) {
  ASSERT_EQ(LoadChannels(5, "[Coordinates]\nCh1=1,90,-45\nCh2=1,90\nCh3=1,2,3,4\nch4= 1 , , 2.5 \nCh5=0x10,inf,nan\n"),
            0);
  const auto& channels = header.m_Channels;
  EXPECT_TRUE(channels[0].HasCoordinates);
  EXPECT_EQ(channels[0].Coordinates[1], 90.0f);
  EXPECT_EQ(channels[0].Coordinates[2], -45.0f);
  EXPECT_FALSE(channels[1].HasCoordinates);
  EXPECT_EQ(channels[1].Coordinates[1], 90.0f);
  EXPECT_EQ(channels[1].Coordinates[2], 0.0f);
  EXPECT_FALSE(channels[2].HasCoordinates);
  EXPECT_EQ(channels[2].Coordinates[2], 3.0f);
  EXPECT_TRUE(channels[3].HasCoordinates);
  EXPECT_EQ(channels[3].Coordinates[1], 0.0f);
  EXPECT_EQ(channels[3].Coordinates[2], 2.5f);
  // Only decimal notation reads: hexadecimal, "inf" and "nan" read as 0.
  EXPECT_TRUE(channels[4].HasCoordinates);
  for (float coordinate : channels[4].Coordinates) EXPECT_EQ(coordinate, 0.0f);
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
  ASSERT_EQ(LoadChannels(2,
                         "[Channel Infos]\nCh1=Gr\xC3\xB6\xC3\x9F"
                         "e,R\xC3\xA9"
                         "f,1,\xC2\xB5V\nCh2=\xE4\xB8\xAD,,1,\xE4\xB8\xAD\n"
                         "[Comment]\nM\xC3\xBCller \xE2\x82\xAC \xE4\xB8\xAD\n",
                         "Codepage=UTF-8\n"),
            0);
  EXPECT_EQ(header.m_Channels[0].Name,
            "Gr\xF6\xDF"
            "e");
  EXPECT_EQ(header.m_Channels[0].Reference,
            "R\xE9"
            "f");
  EXPECT_EQ(header.m_Channels[0].UnitCode, 0u);
  EXPECT_EQ(header.m_Channels[1].Name, "?");
  EXPECT_EQ(header.m_Channels[1].UnitText, OLESTR("\u4E2D"));
  EXPECT_EQ(header.m_Comment, "M\xFCller \x80 ?");
  EXPECT_EQ(header.m_CommentW, OLESTR("M\u00FCller \u20AC \u4E2D"));
  header = CHeaderFile();
  // Without "Codepage" the same bytes are ANSI text.
  ASSERT_EQ(LoadChannels(1,
                         "[Channel Infos]\nCh1=Gr\xC3\xB6"
                         "e\n"),
            0);
  EXPECT_EQ(header.m_Channels[0].Name,
            "Gr\xC3\xB6"
            "e");
}

}  // namespace
