#include <algorithm>
#include <filesystem>

#include "header/HeaderTestSupport.h"

namespace {

// A valid [Common Infos] of two binary channels, with one line replaced or added.
std::string Common(std::string_view extra = "") {
  return "[Common Infos]\nDataFile=s01.eeg\nDataFormat=BINARY\nNumberOfChannels=2\nSamplingInterval=1000\n" +
         std::string(extra);
}

class CommonInfosTest : public HeaderTest {
 protected:
  void SetUp() override { dir.WriteSized("s01.eeg", 4000); }
  // Loads and expects the result 2 with `message`.
  void ExpectRefused(std::string_view body, std::string_view message) {
    EXPECT_EQ(Load(body), 2) << body;
    EXPECT_EQ(header.m_ErrorMessage, message) << body;
    header = CHeaderFile();
  }
  // The header path with "\" for "/", as the data and marker paths are built from it.
  std::string Resolved(std::string_view name) {
    std::string path = dir.File(name);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
};

TEST_F(CommonInfosTest, DefaultsOfAMinimalHeader) {
  dir.Write("s01.txt", "1 2\n3 4\n");
  ASSERT_EQ(Load("[Common Infos]\nDataFile=s01.txt\nNumberOfChannels=2\nSamplingInterval=1000\n"), 0)
      << header.m_ErrorMessage;
  EXPECT_FALSE(header.m_Utf8);
  EXPECT_EQ(header.m_DataType, TIMEDOMAIN);
  EXPECT_EQ(header.m_SampleFormat, FORMAT_ASCII);
  EXPECT_EQ(header.m_DataOrientation, MULTIPLEXED);
  EXPECT_EQ(header.m_SegmentationType, NOTSEGMENTED);
  EXPECT_EQ(header.m_Averaged, 0);
  EXPECT_EQ(header.m_AveragedSegments, 1);
  EXPECT_EQ(header.m_Layers, 1);
  EXPECT_EQ(header.m_LayerFunction, LAYER_LINEAR);
  EXPECT_EQ(header.m_MarkerFile, "");
  EXPECT_EQ(header.m_DataPoints, 2);
  EXPECT_EQ(header.m_SamplingInterval, 1000.0);
  EXPECT_EQ(header.m_Channels.size(), 2u);
}

TEST_F(CommonInfosTest, RequiredKeysAndSection) {
  ExpectRefused("[Other]\nk=1\n", "Missing section \"[Common Infos]\".");
  ExpectRefused("[Common Infos]\nDataFile=s01.eeg\nSamplingInterval=1000\n", "Missing \"NumberOfChannels\" key.");
  ExpectRefused("[Common Infos]\nNumberOfChannels=2\nDataFile=s01.eeg\n", "Missing \"SamplingInterval\" key.");
  ExpectRefused("[Common Infos]\nNumberOfChannels=2\nSamplingInterval=1000\n", "Missing \"DataFile\" key.");
  // The keys must stand in [Common Infos] itself.
  ExpectRefused("[Common Infos]\nDataFile=s01.eeg\nSamplingInterval=1000\n[Binary Infos]\nNumberOfChannels=2\n",
                "Missing \"NumberOfChannels\" key.");
}

TEST_F(CommonInfosTest, ChannelCount) {
  for (std::string_view value : {"0", "-3", "many", " "})
    ExpectRefused(
        "[Common Infos]\nDataFile=s01.eeg\nSamplingInterval=1000\nNumberOfChannels=" + std::string(value) + "\n",
        "\"NumberOfChannels\" key has invalid value \"" + std::string(value) + "\".");
  ASSERT_EQ(Load(Common("NumberOfChannels=2 channels\n")), 0);
  EXPECT_EQ(header.m_Channels.size(), 2u);
}

TEST_F(CommonInfosTest, DataTypeAndSamplingInterval) {
  ASSERT_EQ(Load(Common("DataType=frequencydomain_complex\n")), 0);
  EXPECT_EQ(header.m_DataType, FREQUENCYDOMAIN_COMPLEX);
  header = CHeaderFile();
  ExpectRefused(Common("DataType=TIMEDOMAIN \n"), "\"DataType\" key has invalid value \"TIMEDOMAIN \".");
  ExpectRefused(Common("DataType=TIME\n"), "\"DataType\" key has invalid value \"TIME\".");
  ExpectRefused(Common("SamplingInterval=0.5\n"), "\"SamplingInterval\" key has invalid value \"0.5\".");
  ExpectRefused(Common("DataType=TIMEFREQUENCYDOMAIN\nSamplingInterval=0.999\n"),
                "\"SamplingInterval\" key has invalid value \"0.999\".");
  ExpectRefused(Common("DataType=FREQUENCYDOMAIN\nSamplingInterval=0.0005\n"),
                "\"SamplingInterval\" key has invalid value \"0.0005\".");
  ExpectRefused(Common("SamplingInterval=nan\n"), "\"SamplingInterval\" key has invalid value \"nan\".");
  ASSERT_EQ(Load(Common("DataType=FREQUENCYDOMAIN\nSamplingInterval=0.5\n")), 0);
  EXPECT_EQ(header.m_SamplingInterval, 0.5);
}

TEST_F(CommonInfosTest, KeywordValuesIgnoreCaseButNotBlanks) {
  ASSERT_EQ(Load(Common("Codepage=utf-8\nAveraged=yes\nSegmentationType=fixtime\nSegmentDataPoints=100\n"
                        "DataOrientation=vectorized\nLayers=2\nLayerUpperLimit=4\nLayerFunction=Logarithmic\n")),
            0)
      << header.m_ErrorMessage;
  EXPECT_TRUE(header.m_Utf8);
  EXPECT_EQ(header.m_Averaged, 1);
  EXPECT_EQ(header.m_SegmentationType, FIXTIME);
  EXPECT_EQ(header.m_SegmentDataPoints, 100);
  EXPECT_EQ(header.m_DataOrientation, VECTORIZED);
  EXPECT_EQ(header.m_Layers, 2);
  EXPECT_EQ(header.m_LayerUpperLimit, 4.0);
  EXPECT_EQ(header.m_LayerFunction, LAYER_LOGARITHMIC);
  header = CHeaderFile();
  ASSERT_EQ(Load(Common("Codepage=UTF8\nAveraged=FALSE\n")), 0);
  EXPECT_FALSE(header.m_Utf8);
  EXPECT_EQ(header.m_Averaged, 0);
}

TEST_F(CommonInfosTest, EveryRefusedValueNamesItsKeyAndTheValueAsWritten) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"DataPoints=-1", "\"DataPoints\" key has invalid value \"-1\"."},
      {"Averaged=1", "\"Averaged\" key has invalid value \"1\"."},
      {"AveragedSegments=-2", "\"AveragedSegments\" key has invalid value \"-2\"."},
      {"SegmentationType=NONE", "\"SegmentationType\" key has invalid value \"NONE\"."},
      {"SegmentationType=MARKERBASED\nSegmentDataPoints=-1", "\"SegmentDataPoints\" key has invalid value \"-1\"."},
      {"DataOrientation=ROWS", "\"DataOrientation\" key has invalid value \"ROWS\"."},
      {"DataFormat=TEXT", "\"DataFormat\" key has invalid value \"TEXT\"."},
      {"Layers=0", "\"Layers\" key has invalid value \"0\"."},
      {"Layers=2\nLayerLowerLimit=-1", "\"LayerLowerLimit\" key has invalid value \"-1\"."},
      {"Layers=2\nLayerUpperLimit=-0.5", "\"LayerUpperLimit\" key has invalid value \"-0.5\"."},
      {"Layers=3", "\"LayerUpperLimit\" is less or equal \"LayerLowerLimit\"."},
      {"Layers=2\nLayerLowerLimit=5\nLayerUpperLimit=5", "\"LayerUpperLimit\" is less or equal \"LayerLowerLimit\"."},
      {"Layers=2\nLayerUpperLimit=5\nLayerFunction=SQUARE", "\"LayerFunction\" key has invalid value \"SQUARE\"."},
      // Only decimal notation reads; a decimal beyond double's range passes no limit.
      {"Layers=2\nLayerUpperLimit=inf", "\"LayerUpperLimit\" is less or equal \"LayerLowerLimit\"."},
      {"Layers=2\nLayerUpperLimit=1e999", "\"LayerUpperLimit\" key has invalid value \"1e999\"."},
      {"SamplingInterval=inf", "\"SamplingInterval\" key has invalid value \"inf\"."},
      {"SamplingInterval=1e999", "\"SamplingInterval\" key has invalid value \"1e999\"."},
      {"SamplingInterval=0x10", "\"SamplingInterval\" key has invalid value \"0x10\"."},
  };
  for (const auto& [line, message] : cases) ExpectRefused(Common(std::string(line) + "\n"), message);
}

TEST_F(CommonInfosTest, KeysThatAreNotReachedAreNotChecked) {
  // Without segmentation "SegmentDataPoints" is not read; with one layer the limits are not read.
  ASSERT_EQ(Load(Common("SegmentDataPoints=-1\nLayerLowerLimit=-1\nLayerFunction=bad\n")), 0);
  EXPECT_EQ(header.m_SegmentDataPoints, 0);
  EXPECT_EQ(header.m_LayerLowerLimit, 0.0);
  header = CHeaderFile();
  ASSERT_EQ(Load(Common("DataPoints=0\nAveragedSegments=0\n")), 0);
  EXPECT_EQ(header.m_DataPoints, 1000);  // 0 means computed
  EXPECT_EQ(header.m_AveragedSegments, 0);
}

TEST_F(CommonInfosTest, TheFirstFailureInKeyOrderWins) {
  ExpectRefused(Common("NumberOfChannels=0\nDataType=X\nDataFile=none.eeg\n"),
                "\"NumberOfChannels\" key has invalid value \"0\".");
  ExpectRefused(Common("DataType=X\nSamplingInterval=0\n"), "\"DataType\" key has invalid value \"X\".");
  ExpectRefused(Common("DataFile=none.eeg\nMarkerFile=none.vmrk\nDataPoints=-1\n"),
                "Data file \"" + Resolved("none.eeg") + "\" not found.");
  ExpectRefused(Common("Layers=0\nDataFormat=TEXT\nAveraged=maybe\n"), "\"Averaged\" key has invalid value \"maybe\".");
  // A failure leaves the fields of the earlier steps set and the later ones untouched.
  EXPECT_EQ(Load(Common("DataOrientation=X\nLayers=2\n")), 2);
  EXPECT_EQ(header.m_SegmentationType, NOTSEGMENTED);
  EXPECT_EQ(header.m_AveragedSegments, 1);
  EXPECT_EQ(header.m_DataOrientation, 0u);
  EXPECT_EQ(header.m_Layers, 0);
  EXPECT_TRUE(header.m_Channels.empty());
}

TEST_F(CommonInfosTest, BareFileNamesLieBesideTheHeader) {
  dir.WriteSized("s01.vmrk", 10);
  ASSERT_EQ(Load(Common("MarkerFile=s01.vmrk\n")), 0);
  EXPECT_EQ(header.m_DataFile, Resolved("s01.eeg"));
  EXPECT_EQ(header.m_MarkerFile, Resolved("s01.vmrk"));
  header = CHeaderFile();
  ExpectRefused(Common("MarkerFile=none.vmrk\n"), "Marker file \"" + Resolved("none.vmrk") + "\" not found.");
}

TEST_F(CommonInfosTest, DollarBStandsForTheHeaderTitleInAnyCase) {
  dir.WriteSized("s01.vmrk", 10);
  ASSERT_EQ(Load(Common("DataFile=$b.eeg\nMarkerFile=$B.vmrk\n")), 0);
  EXPECT_EQ(header.m_DataFile, Resolved("s01.eeg"));
  EXPECT_EQ(header.m_MarkerFile, Resolved("s01.vmrk"));
  // A header whose own name holds "$b" is replaced once, without looping.
  dir.WriteSized("x$b.eeg", 4000);
  header = CHeaderFile();
  EXPECT_EQ(header.Load(WriteHeader(Common("DataFile=$b.eeg\n"), "x$b.shdr")), 0);
  EXPECT_EQ(header.m_DataFile, Resolved("x$b.eeg"));
}

TEST_F(CommonInfosTest, ValuesWithAFolderPartOrADriveStayAsWritten) {
  // A relative folder part is relative to the process's current folder, not to the header.
  const std::filesystem::path previous = std::filesystem::current_path();
  dir.WriteSized("data/s02.eeg", 4000);
  std::filesystem::current_path(dir.Path());
  const int result = Load(Common("DataFile=data/s02.eeg\n"));
  std::filesystem::current_path(previous);
  ASSERT_EQ(result, 0) << header.m_ErrorMessage;
  EXPECT_EQ(header.m_DataFile, "data/s02.eeg");
  header = CHeaderFile();
  ExpectRefused(Common("DataFile=D:s01.eeg\n"), "Data file \"D:s01.eeg\" not found.");
  ExpectRefused(Common("DataFile=\\\\srv\\share\\s01.eeg\n"), "Data file \"\\\\srv\\share\\s01.eeg\" not found.");
}

TEST_F(CommonInfosTest, Utf8FileNamesArriveInTheAnsiCodePage) {
#if defined(_WIN32)
  dir.WriteSized("M\xFCller.eeg", 4000);  // an ANSI name
#else
  dir.WriteSized("M\xC3\xBCller.eeg", 4000);  // this file system names it in UTF-8
#endif
  ASSERT_EQ(Load(Common("DataFile=M\xC3\xBCller.eeg\n")), 0) << header.m_ErrorMessage;
  EXPECT_EQ(header.m_DataFile, Resolved("M\xFCller.eeg"));
  header = CHeaderFile();
  ASSERT_EQ(Load(Common("DataFile=M\xFCller.eeg\n")), 0);  // already ANSI: unchanged
}

}  // namespace
