#include "component/ComponentTestSupport.h"
#include "description/Properties.h"
#include "host/PropertyStore.h"

namespace {

class PropertiesTest : public ComponentTest {
 protected:
  void Load(std::string_view common, std::string_view sections = "", int channels = 2) {
    header = CHeaderFile();
    ASSERT_EQ(header.Load(WriteBinaryRecording(channels, common, sections)), 0) << header.m_ErrorMessage;
    host.Clear();
  }
  HRESULT Write() {
    return Answer([&] { WriteProperties(header, "/rec.shdr", NewStorage().Get(), timeZero); });
  }
  // The bytes of the first property written with `tag`.
  std::string Written(int tag) {
    const std::string call = "PropertyWriter.SetProperty(" + std::to_string(tag) + ", 0, ";
    const std::vector<std::string> calls = host.CallsOf(call);
    return calls.empty() ? "none" : calls[0].substr(call.size(), calls[0].size() - call.size() - 1);
  }
  // The tags written to the property writer, in order.
  std::vector<std::string> Tags() {
    std::vector<std::string> tags;
    for (const std::string& call : host.CallsOf("PropertyWriter.SetProperty("))
      tags.push_back(call.substr(27, call.find(',', call.find(',') + 1) - 27));
    return tags;
  }

  CHeaderFile header;
  std::int32_t timeZero = -1;
};

TEST_F(PropertiesTest, RecordingPropertiesAndChannelDescriptions) {
  const DebugLogFile log;
  Load("", "[Channel Infos]\r\nCh1=Fp1,Ref,0.5,\xB5V\r\nCh2=Cz,,1,mV\r\n[Coordinates]\r\nCh1=1,90,-90\r\n");
  log.SwitchOn();
  EXPECT_EQ(Write(), S_OK);
  EXPECT_EQ(log.Text(), "GenericDataReader > WriteProperties: " + Resolved("rec.eeg") + "\n");
  // Each channel's description is the bag's encoding of what was set for it.
  const std::string fp1 =
      "00 00 00 00 00 00 00 00 04 00 00 00 46 70 31 00 01 00 00 00 00 00 00 00 04 00 00 00 52 65 66 00 "
      "02 00 00 00 00 00 00 00 0c 00 00 00 00 00 80 3f 00 00 b4 42 00 00 b4 c2";
  const std::string cz =
      "00 00 00 00 00 00 00 00 03 00 00 00 43 7a 00 01 00 00 00 00 00 00 00 01 00 00 00 00 02 00 00 00 00 00 00 "
      "00 0c 00 00 00 00 00 80 3f 00 00 00 00 00 00 00 00 03 00 00 00 00 00 00 00 04 00 00 00 01 00 00 00 06 00 "
      "00 00 00 00 00 00 06 00 00 00 6d 00 56 00 00 00";
  EXPECT_EQ(
      host.CallsOf(),
      (std::vector<std::string>{
          "Create(PropertyWriter)", "PropertyWriter.Attach(storage)", "PropertyWriter.SetProperty(0, 0, [01 01])",
          "PropertyWriter.SetProperty(1, 0, [02 00 00 00])",
          "PropertyWriter.SetProperty(2, 0, [00 00 00 00 00 40 8f 40])", "PropertyWriter.SetProperty(100, 0, [00 00])",
          "PropertyWriter.SetProperty(3, 0, [0a 00 00 00])",
          "PropertyWriter.SetProperty(5, 0, [00 00 00 00])",  // a tie of units 0 and 1: the smaller
          "PropertyBag.Reset([])", "Converter.ConvertLabel(\"Fp1\")", "PropertyBag.SetProperty(0, 0, [46 70 31 00])",
          "PropertyBag.SetProperty(2, 0, [00 00 80 3f 00 00 b4 42 00 00 b4 c2])", "Converter.ConvertLabel(\"Ref\")",
          "PropertyBag.SetProperty(1, 0, [52 65 66 00])", "PropertyBag.SaveToMemory()",
          "PropertyWriter.SetProperty(4, 0, [" + fp1 + "])",
          // Cz: another unit than the common one, a unit text, coordinates looked up
          "PropertyBag.Reset([])", "Converter.ConvertLabel(\"Cz\")", "PropertyBag.SetProperty(0, 0, [43 7a 00])",
          "PropertyBag.SetProperty(3, 0, [01 00 00 00])", "PropertyBag.SetProperty(6, 0, [6d 00 56 00 00 00])",
          "Converter.LookupCoordinates(\"Cz\")", "PropertyBag.SetProperty(2, 0, [00 00 80 3f 00 00 00 00 00 00 00 00])",
          "Converter.ConvertLabel(\"\")", "PropertyBag.SetProperty(1, 0, [00])", "PropertyBag.SaveToMemory()",
          "PropertyWriter.SetProperty(4, 1, [" + cz + "])", "PropertyWriter.Finish()", "PropertyWriter.Close()"}));
  EXPECT_EQ(host.LivingObjects(), 0);
}

TEST_F(PropertiesTest, OneUnitForAllChannelsIsTheCommonOne) {
  Load("", "[Channel Infos]\r\nCh1=a,,1,mV\r\nCh2=b,,1,mV\r\nCh3=c,,1,\xB5V\xB2\r\nCh4=d,,1,\xB5V\xB2\r\n", 4);
  EXPECT_EQ(Write(), S_OK);
  // Codes 1 (two channels) and 3 (two): 1 is common, the channels of 3 carry their code.
  EXPECT_EQ(Written(5), "[01 00 00 00]");
  EXPECT_EQ(host.CallsOf("PropertyBag.SetProperty(3,").size(), 2u);
  // A code outside the table counts as 0.
  for (const auto& [unit, counted] : {std::pair(5u, 5u), std::pair(6u, 0u)}) {
    Load("", "[Channel Infos]\r\nCh1=a,,1,mV\r\nCh2=b,,1,V\r\n");
    header.m_Channels[1].UnitCode = unit;
    EXPECT_EQ(Write(), S_OK);
    EXPECT_EQ(header.m_Channels[1].UnitCode, counted);
    EXPECT_EQ(Written(5), counted ? "[01 00 00 00]" : "[00 00 00 00]");
  }
}

TEST_F(PropertiesTest, SegmentationAveragingAndLayerTags) {
  Load("Averaged=YES\r\nAveragedSegments=5\r\n");
  EXPECT_EQ(Write(), S_OK);
  EXPECT_EQ(Tags(), (std::vector<std::string>{"0, 0", "1, 0", "2, 0", "100, 0", "200, 0", "105, 0", "106, 0", "3, 0",
                                              "5, 0", "4, 0", "4, 1"}));
  EXPECT_EQ(timeZero, 0);
  timeZero = 4;
  Load("SegmentationType=MARKERBASED\r\nSegmentDataPoints=5\r\n");
  EXPECT_EQ(Write(), S_OK);
  EXPECT_EQ(Written(106), "[00 00 00 00 00 00 10 40]");
  EXPECT_EQ(Written(107), "[00 00 00 00 00 00 14 40]");
  Load(
      "SegmentationType=FIXTIME\r\nSegmentDataPoints=5\r\nDataType=TIMEFREQUENCYDOMAIN\r\nLayers=2\r\n"
      "LayerUpperLimit=8\r\nLayerFunction=LOGARITHMIC\r\n");
  header.m_DataPoints = 5;
  EXPECT_EQ(Write(), S_OK);
  EXPECT_EQ(Tags(), (std::vector<std::string>{"0, 0", "1, 0", "2, 0", "100, 0", "3, 0", "6, 0", "7, 0", "8, 0", "9, 0",
                                              "5, 0", "4, 0", "4, 1"}));
}

TEST_F(PropertiesTest, WithoutADataPointCountTheDataFileIsProbed) {
  Load("");
  header.m_DataPoints = 0;
  EXPECT_EQ(Write(), S_OK);
  EXPECT_EQ(Written(3), "[0a 00 00 00]");
  EXPECT_EQ(header.m_DataPoints, 10);

  host.Clear();
  header.m_DataPoints = 0;
  dir.Write("rec.eeg", "");
  EXPECT_EQ(Write(), MakeResult(0x80041003));
  EXPECT_EQ(host.Messages(), std::vector<std::string>{"Generic Data Reader: Data size of \"/rec.shdr\" is zero!"});
  EXPECT_EQ(Written(3), "none");
  EXPECT_EQ(host.LivingObjects(), 0);

  std::filesystem::remove(dir.File("rec.eeg"));
  header.m_DataPoints = 0;
  EXPECT_EQ(Write(), MakeResult(0x80041001));  // the probe cannot open the data file
}

}  // namespace
