#include "component/ComponentTestSupport.h"
#include "description/Properties.h"
#include "host/PropertyStore.h"

namespace {

class PropertiesTest : public ComponentTest {
 protected:
  void Load(std::string_view common, std::string_view sections = "", int channels = 2) {
    header = CHeaderFile();
    ASSERT_EQ(header.Load(WriteBinaryRecording(channels, common, sections)), 0) << header.m_ErrorMessage;
    host.Recorder().Clear();
  }
  void Write() { WriteProperties(header, "/rec.shdr", NewStorage().Get(), timeZero); }
  // The bytes of the first property written with `tag`.
  std::string Written(int tag) {
    const std::string call = "PropertyWriter.SetProperty(" + std::to_string(tag) + ", 0, ";
    const std::vector<std::string> calls = host.Recorder().CallsOf(call);
    return calls.empty() ? "none" : calls[0].substr(call.size(), calls[0].size() - call.size() - 1);
  }
  // The tags written to the property writer, in order.
  std::vector<std::string> Tags() {
    std::vector<std::string> tags;
    for (const std::string& call : host.Recorder().CallsOf("PropertyWriter.SetProperty("))
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
  Write();
  EXPECT_EQ(log.Text(), "GenericDataReader > WriteProperties: " + Resolved("rec.eeg") + "\n");
  const std::vector<std::string> writer = host.Recorder().CallsOf("PropertyWriter.");
  ASSERT_EQ(writer.size(), 1 + 6 + 2 + 2u);
  EXPECT_EQ(std::vector<std::string>(writer.begin(), writer.begin() + 7),
            (std::vector<std::string>{"PropertyWriter.Attach(storage)", "PropertyWriter.SetProperty(0, 0, [01 01])",
                                      "PropertyWriter.SetProperty(1, 0, [02 00 00 00])",
                                      "PropertyWriter.SetProperty(2, 0, [00 00 00 00 00 40 8f 40])",
                                      "PropertyWriter.SetProperty(100, 0, [00 00])",
                                      "PropertyWriter.SetProperty(3, 0, [0a 00 00 00])",
                                      // a tie of 0 and 1: the smaller
                                      "PropertyWriter.SetProperty(5, 0, [00 00 00 00])"}));
  EXPECT_EQ(writer[7].substr(0, 33), "PropertyWriter.SetProperty(4, 0, ");
  EXPECT_EQ(writer[8].substr(0, 33), "PropertyWriter.SetProperty(4, 1, ");
  EXPECT_EQ(writer[9], "PropertyWriter.Finish()");
  EXPECT_EQ(writer[10], "PropertyWriter.Close()");
  EXPECT_EQ(host.LivingObjects(), 0);

  std::vector<std::string> channel;
  for (const std::string& call : host.Recorder().Calls())
    if (call.starts_with("PropertyBag.") || call.starts_with("Converter.")) channel.push_back(call);
  EXPECT_EQ(
      channel,
      (std::vector<std::string>{
          "PropertyBag.Reset(null, 0)", "Converter.ConvertLabel(\"Fp1\")",
          "PropertyBag.SetProperty(0, 0, [46 70 31 00])",
          "PropertyBag.SetProperty(2, 0, [00 00 80 3f 00 00 b4 42 00 00 b4 c2])", "Converter.ConvertLabel(\"Ref\")",
          "PropertyBag.SetProperty(1, 0, [52 65 66 00])", "PropertyBag.SaveToMemory()",
          // Cz: another unit than the common one, a unit text, coordinates looked up
          "PropertyBag.Reset(null, 0)", "Converter.ConvertLabel(\"Cz\")", "PropertyBag.SetProperty(0, 0, [43 7a 00])",
          "PropertyBag.SetProperty(3, 0, [01 00 00 00])", "PropertyBag.SetProperty(6, 0, [6d 00 56 00 00 00])",
          "Converter.LookupCoordinates(\"Cz\")", "PropertyBag.SetProperty(2, 0, [00 00 80 3f 00 00 00 00 00 00 00 00])",
          "Converter.ConvertLabel(\"\")", "PropertyBag.SetProperty(1, 0, [00])", "PropertyBag.SaveToMemory()"}));
  // The description handed to the writer is the bag's encoding.
  EXPECT_NE(writer[8].find("[00 00 00 00 00 00 00 00 03 00 00 00 43 7a 00"), std::string::npos) << writer[8];
}

TEST_F(PropertiesTest, OneUnitForAllChannelsIsTheCommonOne) {
  Load("", "[Channel Infos]\r\nCh1=a,,1,mV\r\nCh2=b,,1,mV\r\nCh3=c,,1,\xB5V\xB2\r\nCh4=d,,1,\xB5V\xB2\r\n", 4);
  Write();
  // Codes 1 (two channels) and 3 (two): 1 is common, the channels of 3 carry their code.
  EXPECT_EQ(Written(5), "[01 00 00 00]");
  EXPECT_EQ(host.Recorder().CallsOf("PropertyBag.SetProperty(3,").size(), 2u);
  // A code outside the table counts as 0.
  for (const auto& [unit, counted] : {std::pair(5u, 5u), std::pair(6u, 0u)}) {
    Load("", "[Channel Infos]\r\nCh1=a,,1,mV\r\nCh2=b,,1,V\r\n");
    header.m_Channels[1].UnitCode = unit;
    Write();
    EXPECT_EQ(header.m_Channels[1].UnitCode, counted);
    EXPECT_EQ(Written(5), counted ? "[01 00 00 00]" : "[00 00 00 00]");
  }
}

TEST_F(PropertiesTest, SegmentationAveragingAndLayerTags) {
  Load("Averaged=YES\r\nAveragedSegments=5\r\n");
  Write();
  EXPECT_EQ(Tags(), (std::vector<std::string>{"0, 0", "1, 0", "2, 0", "100, 0", "200, 0", "105, 0", "106, 0", "3, 0",
                                              "5, 0", "4, 0", "4, 1"}));
  EXPECT_EQ(timeZero, 0);
  timeZero = 4;
  Load("SegmentationType=MARKERBASED\r\nSegmentDataPoints=5\r\n");
  Write();
  EXPECT_EQ(Written(106), "[00 00 00 00 00 00 10 40]");
  EXPECT_EQ(Written(107), "[00 00 00 00 00 00 14 40]");
  Load(
      "SegmentationType=FIXTIME\r\nSegmentDataPoints=5\r\nDataType=TIMEFREQUENCYDOMAIN\r\nLayers=2\r\n"
      "LayerUpperLimit=8\r\nLayerFunction=LOGARITHMIC\r\n");
  header.m_DataPoints = 5;
  Write();
  EXPECT_EQ(Tags(), (std::vector<std::string>{"0, 0", "1, 0", "2, 0", "100, 0", "3, 0", "6, 0", "7, 0", "8, 0", "9, 0",
                                              "5, 0", "4, 0", "4, 1"}));
}

TEST_F(PropertiesTest, WithoutADataPointCountTheDataFileIsProbed) {
  Load("");
  header.m_DataPoints = 0;
  Write();
  EXPECT_EQ(Written(3), "[0a 00 00 00]");
  EXPECT_EQ(header.m_DataPoints, 10);

  host.Recorder().Clear();
  header.m_DataPoints = 0;
  dir.Write("rec.eeg", "");
  ExpectRaises(MakeResult(0x80041003), [&] { Write(); });
  EXPECT_EQ(host.Messages(), std::vector<std::string>{"Generic Data Reader: Data size of \"/rec.shdr\" is zero!"});
  EXPECT_EQ(Written(3), "none");
  EXPECT_EQ(host.LivingObjects(), 0);

  std::filesystem::remove(dir.File("rec.eeg"));
  header.m_DataPoints = 0;
  ExpectRaises(MakeResult(0x80041001), [&] { Write(); });  // the probe cannot open the data file
}

TEST_F(PropertiesTest, AFailingHostCallEndsTheStepWithItsCode) {
  Load("", "[Channel Infos]\r\nCh1=a,,1,mV\r\nCh2=b\r\n");
  const std::pair<std::string, int> failures[] = {{"Create", 1},
                                                  {"PropertyWriter.Attach", 1},
                                                  {"PropertyWriter.SetProperty", 3},
                                                  {"PropertyWriter.SetProperty", 8},
                                                  {"PropertyBag.Reset", 2},
                                                  {"PropertyBag.SetProperty", 1},
                                                  {"PropertyBag.SaveToMemory", 1},
                                                  {"Converter.ConvertLabel", 2},
                                                  {"Converter.LookupCoordinates", 1}};
  for (const auto& [operation, n] : failures) {
    HostDoubles& doubles = FreshHost();
    doubles.Recorder().FailCall(operation, n, MakeResult(0x80030070));
    ExpectRaises(
        MakeResult(0x80030070), [&] { Write(); }, operation);
    const std::vector<std::string>& calls = doubles.Recorder().Calls();
    EXPECT_TRUE(calls.back().starts_with(operation)) << operation << ": " << calls.back();
    EXPECT_TRUE(doubles.Recorder().CallsOf("PropertyWriter.Finish").empty());
    EXPECT_TRUE(doubles.Messages().empty());
    EXPECT_EQ(doubles.LivingObjects(), 0) << operation;
  }
  HostDoubles& doubles = FreshHost();
  doubles.Recorder().FailCall("PropertyWriter.Finish", 1, E_FAIL);
  doubles.Recorder().FailCall("PropertyWriter.Close", 1, E_FAIL);
  Write();  // their answers are ignored
}

}  // namespace
