#include <algorithm>
#include <filesystem>
#include <sstream>

#include "header/HeaderTestSupport.h"

namespace {

// A valid [Common Infos] of two binary channels (1000 points), with lines added; a later line wins.
std::string Common(std::string_view extra = "") {
  return "[Common Infos]\nDataFile=s01.eeg\nDataFormat=BINARY\nNumberOfChannels=2\nSamplingInterval=1000\n" +
         std::string(extra);
}

class CommonInfosTest : public HeaderTest {
 protected:
  void SetUp() override {
    dir.WriteSized("s01.eeg", 4000);
    dir.Write("s01.txt", "1 2\n3 4\n");
    dir.WriteSized("s01.vmrk", 10);
  }
  // What a load gives, or the refusal's message: the data type, sample format, orientation, segmentation
  // and segment points, averaging and segments, layers with their function and limits, UTF-8, points.
  std::string Outcome(std::string_view body) {
    std::ostringstream text;
    if (const int result = Load(body); result != 0) {
      text << result << ": " << header.m_ErrorMessage;
    } else {
      text << std::hex << header.m_DataType << std::dec << " f" << header.m_SampleFormat << " o"
           << header.m_DataOrientation << " s" << header.m_SegmentationType << "/" << header.m_SegmentDataPoints << " a"
           << header.m_Averaged << "/" << header.m_AveragedSegments << " l" << header.m_Layers << "/"
           << header.m_LayerFunction << "/" << header.m_LayerLowerLimit << "-" << header.m_LayerUpperLimit << " u"
           << header.m_Utf8 << ": " << header.m_DataPoints << " x " << header.m_SamplingInterval << " us, "
           << header.m_Channels.size() << " channels";
    }
    header = CHeaderFile();
    return text.str();
  }
  // The header path with "\" for "/", as the data and marker paths are built from it.
  std::string Resolved(std::string_view name) {
    std::string path = dir.File(name);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
};

TEST_F(CommonInfosTest, KeysAndValues) {
  const std::string plain = "101 f2 o1 s0/0 a0/1 l1/0/0-0 u0: ";
  const std::string layers = "Layers=2\nLayerUpperLimit=5\n";
  const std::pair<std::string, std::string> rows[] = {
      // A minimal header: ASCII data of one text line a data point.
      {"[Common Infos]\nDataFile=s01.txt\nNumberOfChannels=2\nSamplingInterval=1000\n",
       "101 f0 o1 s0/0 a0/1 l1/0/0-0 u0: 2 x 1000 us, 2 channels"},
      {Common(), plain + "1000 x 1000 us, 2 channels"},
      {"[Other]\nk=1\n", "2: Missing section \"[Common Infos]\"."},
      {"[Common Infos]\nDataFile=s01.eeg\nSamplingInterval=1000\n", "2: Missing \"NumberOfChannels\" key."},
      {"[Common Infos]\nNumberOfChannels=2\nDataFile=s01.eeg\n", "2: Missing \"SamplingInterval\" key."},
      {"[Common Infos]\nNumberOfChannels=2\nSamplingInterval=1000\n", "2: Missing \"DataFile\" key."},
      // The keys must stand in [Common Infos] itself.
      {"[Common Infos]\nDataFile=s01.eeg\nSamplingInterval=1000\n[Binary Infos]\nNumberOfChannels=2\n",
       "2: Missing \"NumberOfChannels\" key."},
      {Common("NumberOfChannels=2 channels\n"), plain + "1000 x 1000 us, 2 channels"},
      // Keyword values in any case, but not with blanks.
      {Common("DataType=frequencydomain_complex\n"), "202 f2 o1 s0/0 a0/1 l1/0/0-0 u0: 500 x 1000 us, 2 channels"},
      {Common("Codepage=utf-8\nAveraged=yes\nSegmentationType=fixtime\nSegmentDataPoints=100\n"
              "DataOrientation=vectorized\nLayers=2\nLayerUpperLimit=4\nLayerFunction=Logarithmic\n"),
       "101 f2 o0 s3/100 a1/1 l2/1/0-4 u1: 500 x 1000 us, 2 channels"},
      {Common("Codepage=UTF8\nAveraged=FALSE\n"), plain + "1000 x 1000 us, 2 channels"},
      // Each refused with its key and the value as written; below 1 us a sampling interval serves
      // frequency data only, and the first failure in key order wins.
      {Common("NumberOfChannels=0\n"), Invalid("NumberOfChannels", "0")},
      {Common("NumberOfChannels= \n"), Invalid("NumberOfChannels", " ")},
      {Common("DataType=TIMEDOMAIN \n"), Invalid("DataType", "TIMEDOMAIN ")},
      {Common("DataType=TIME\n"), Invalid("DataType", "TIME")},
      {Common("SamplingInterval=0.5\n"), Invalid("SamplingInterval", "0.5")},
      {Common("DataType=TIMEFREQUENCYDOMAIN\nSamplingInterval=0.999\n"), Invalid("SamplingInterval", "0.999")},
      {Common("DataType=FREQUENCYDOMAIN\nSamplingInterval=0.0005\n"), Invalid("SamplingInterval", "0.0005")},
      {Common("DataPoints=-1\n"), Invalid("DataPoints", "-1")},
      {Common("Averaged=1\n"), Invalid("Averaged", "1")},
      {Common("AveragedSegments=-2\n"), Invalid("AveragedSegments", "-2")},
      {Common("SegmentationType=NONE\n"), Invalid("SegmentationType", "NONE")},
      {Common("SegmentationType=MARKERBASED\nSegmentDataPoints=-1\n"), Invalid("SegmentDataPoints", "-1")},
      {Common("DataOrientation=ROWS\n"), Invalid("DataOrientation", "ROWS")},
      {Common("DataFormat=TEXT\n"), Invalid("DataFormat", "TEXT")},
      {Common("Layers=0\n"), Invalid("Layers", "0")},
      {Common("Layers=2\nLayerLowerLimit=-1\n"), Invalid("LayerLowerLimit", "-1")},
      {Common("Layers=2\nLayerUpperLimit=-0.5\n"), Invalid("LayerUpperLimit", "-0.5")},
      {Common("Layers=2\nLayerUpperLimit=1e999\n"), Invalid("LayerUpperLimit", "1e999")},
      {Common("SamplingInterval=nan\n"), Invalid("SamplingInterval", "nan")},
      {Common("SamplingInterval=inf\n"), Invalid("SamplingInterval", "inf")},
      {Common("SamplingInterval=0x10\n"), Invalid("SamplingInterval", "0x10")},
      {Common("Layers=0\nDataFormat=TEXT\nAveraged=maybe\n"), Invalid("Averaged", "maybe")},
      {Common("DataType=FREQUENCYDOMAIN\nSamplingInterval=0.5\n"),
       "201 f2 o1 s0/0 a0/1 l1/0/0-0 u0: 1000 x 0.5 us, 2 channels"},
      {Common(layers + "LayerLowerLimit=5\n"), "2: \"LayerUpperLimit\" is less or equal \"LayerLowerLimit\"."},
      {Common(layers + "LayerFunction=SQUARE\n"), Invalid("LayerFunction", "SQUARE")},
      // Only decimal notation reads; a decimal beyond double's range passes no limit.
      {Common("Layers=2\nLayerUpperLimit=inf\n"), "2: \"LayerUpperLimit\" is less or equal \"LayerLowerLimit\"."},
      // Keys that are not reached are not checked: no segmentation, one layer; 0 points means computed.
      {Common("SegmentDataPoints=-1\nLayerLowerLimit=-1\nLayerFunction=bad\n"), plain + "1000 x 1000 us, 2 channels"},
      {Common("DataPoints=0\nAveragedSegments=0\n"), "101 f2 o1 s0/0 a0/0 l1/0/0-0 u0: 1000 x 1000 us, 2 channels"},
      // The first failure in key order wins.
      {Common("NumberOfChannels=0\nDataType=X\nDataFile=none.eeg\n"), Invalid("NumberOfChannels", "0")},
      {Common("DataType=X\nSamplingInterval=0\n"), Invalid("DataType", "X")},
      {Common("DataFile=none.eeg\nMarkerFile=none.vmrk\nDataPoints=-1\n"),
       "2: Data file \"" + Resolved("none.eeg") + "\" not found."},
      {Common("MarkerFile=none.vmrk\n"), "2: Marker file \"" + Resolved("none.vmrk") + "\" not found."},
      // A value with a drive stays as written.
      {Common("DataFile=D:s01.eeg\n"), "2: Data file \"D:s01.eeg\" not found."},
      {Common("DataFile=\\\\srv\\share\\s01.eeg\n"), "2: Data file \"\\\\srv\\share\\s01.eeg\" not found."},
  };
  for (const auto& [body, expected] : rows) EXPECT_EQ(Outcome(body), expected) << body;
}

TEST_F(CommonInfosTest, FileNames) {
#if defined(_WIN32)
  dir.WriteSized("M\xFCller.eeg", 4000);  // an ANSI name
#else
  dir.WriteSized("M\xC3\xBCller.eeg", 4000);  // this file system names it in UTF-8
#endif
  dir.WriteSized("x$b.eeg", 4000);
  dir.WriteSized("data/s02.eeg", 4000);
  struct Row {
    std::string common, name, dataFile, markerFile;
  };
  const Row rows[] = {
      // Bare names lie beside the header; "$b" stands for the header's title in any case, replaced once.
      {"MarkerFile=s01.vmrk\n", "s01.shdr", Resolved("s01.eeg"), Resolved("s01.vmrk")},
      {"DataFile=$b.eeg\nMarkerFile=$B.vmrk\n", "s01.shdr", Resolved("s01.eeg"), Resolved("s01.vmrk")},
      {"DataFile=$b.eeg\n", "x$b.shdr", Resolved("x$b.eeg"), ""},
      // UTF-8 names arrive in the ANSI code page; ANSI ones stay.
      {"DataFile=M\xC3\xBCller.eeg\n", "s01.shdr", Resolved("M\xFCller.eeg"), ""},
      {"DataFile=M\xFCller.eeg\n", "s01.shdr", Resolved("M\xFCller.eeg"), ""},
      // A relative folder part is relative to the process's current folder, not to the header.
      {"DataFile=data/s02.eeg\n", "s01.shdr", "data/s02.eeg", ""},
  };
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  for (const Row& row : rows) {
    EXPECT_EQ(header.Load(WriteHeader(Common(row.common), row.name)), 0) << row.common << header.m_ErrorMessage;
    EXPECT_EQ(header.m_DataFile, row.dataFile);
    EXPECT_EQ(header.m_MarkerFile, row.markerFile);
    header = CHeaderFile();
  }
  std::filesystem::current_path(previous);
}

}  // namespace
