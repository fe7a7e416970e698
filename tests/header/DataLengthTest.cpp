#include <filesystem>
#include <new>

#include "header/HeaderTestSupport.h"

namespace {

class DataLengthTest : public HeaderTest {
 protected:
  void ExpectRefused(int result, std::string_view message) {
    EXPECT_EQ(result, 2);
    EXPECT_EQ(header.m_ErrorMessage, message);
  }
  int LoadAscii(std::string_view data, int channels, std::string_view infos, std::string_view extra = "") {
    dir.Write("s01.txt", data);
    return Load("[Common Infos]\nDataFile=s01.txt\nSamplingInterval=1000\nNumberOfChannels=" +
                std::to_string(channels) + "\n" + std::string(extra) + "[ASCII Infos]\n" + std::string(infos));
  }
};

TEST_F(DataLengthTest, BinaryDefaultsWithoutBinaryInfos) {
  ASSERT_EQ(LoadBinary(32, 64000), 0);
  EXPECT_EQ(header.m_DataPoints, 1000);
  EXPECT_EQ(header.m_SampleFormat, FORMAT_INT_16);
  EXPECT_EQ(header.m_BytesPerDataPoint, 2.0f);
  EXPECT_EQ(header.m_UseBigEndianOrder, 0);
  EXPECT_EQ(header.m_DataOffset, 0);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(32, 64001), 0);  // a partial data point is no data point
  EXPECT_EQ(header.m_DataPoints, 1000);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(2, 8000, "DataType=TIMEDOMAIN_COMPLEX\n"), 0);
  EXPECT_EQ(header.m_BytesPerDataPoint, 4.0f);
  EXPECT_EQ(header.m_DataPoints, 1000);
}

TEST_F(DataLengthTest, BytesPerDataPointFollowTheFormatTheLayersAndComplexData) {
  ASSERT_EQ(LoadBinary(2, 8000, "", "[Binary Infos]\nBinaryFormat=ieee_float_32\n"), 0);
  EXPECT_EQ(header.m_SampleFormat, FORMAT_IEEE_FLOAT_32);
  EXPECT_EQ(header.m_DataPoints, 1000);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(4, 6000, "", "[Binary Infos]\nBinaryFormat=ATS_INT_12_PACKED\n"), 0);
  EXPECT_EQ(header.m_BytesPerDataPoint, 1.5f);
  EXPECT_EQ(header.m_DataPoints, 1000);
  header = CHeaderFile();
  // Packed 12-bit counts exactly: 3 channels of 1.5 bytes in 11 bytes are 2 whole data points.
  ASSERT_EQ(LoadBinary(3, 11, "", "[Binary Infos]\nBinaryFormat=ATS_INT_12_PACKED\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 2);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(4, 80000, "DataType=TIMEFREQUENCYDOMAIN\nLayers=10\nLayerUpperLimit=50\n"), 0);
  EXPECT_EQ(header.m_BytesPerDataPoint, 20.0f);
  EXPECT_EQ(header.m_DataPoints, 1000);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(1, 1000, "", "[Binary Infos]\nBinaryFormat=UINT_16\nUseBigEndianOrder=true\n"), 0);
  EXPECT_EQ(header.m_SampleFormat, FORMAT_UINT_16);
  EXPECT_EQ(header.m_UseBigEndianOrder, 1);
  EXPECT_EQ(header.m_DataPoints, 500);
}

TEST_F(DataLengthTest, BinaryInfosRefusals) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"BinaryFormat=INT_32", "\"BinaryFormat\" key has invalid value \"INT_32\"."},
      {"UseBigEndianOrder=1", "\"UseBigEndianOrder\" key has invalid value \"1\"."},
      {"DataOffset=-1", "\"DataOffset\" key has invalid value \"-1\"."},
      {"TrailerSize=-1", "\"TrailerSize\" key has invalid value \"-1\"."},
  };
  for (const auto& [line, message] : cases) {
    ExpectRefused(LoadBinary(2, 4000, "", "[Binary Infos]\n" + std::string(line) + "\n"), message);
    header = CHeaderFile();
  }
  ExpectRefused(LoadBinary(2, 4000, "DataOrientation=VECTORIZED\n", "[Binary Infos]\nChannelOffset=-1\n"),
                "\"ChannelOffset\" key has invalid value \"-1\".");
  header = CHeaderFile();
  ExpectRefused(LoadBinary(2, 4000, "SegmentationType=MARKERBASED\n", "[Binary Infos]\nSegmentHeaderSize=-1\n"),
                "\"SegmentHeaderSize\" key has invalid value \"-1\".");
  header = CHeaderFile();
  // Keys that the layout does not use are not read at all.
  ASSERT_EQ(LoadBinary(2, 4000, "", "[Binary Infos]\nChannelOffset=-1\nSegmentHeaderSize=-1\n"), 0);
  EXPECT_EQ(header.m_ChannelOffset, 0);
}

TEST_F(DataLengthTest, OffsetsAndVectorizedChannelOffsets) {
  ASSERT_EQ(LoadBinary(2, 4100, "", "[Binary Infos]\nDataOffset=100\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 1000);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(2, 4020, "DataOrientation=VECTORIZED\n", "[Binary Infos]\nChannelOffset=10\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 1000);
  header = CHeaderFile();
  ExpectRefused(LoadBinary(2, 50, "", "[Binary Infos]\nDataOffset=100\n"), "Calculated dataset length is 0 or less.");
  header = CHeaderFile();
  ExpectRefused(LoadBinary(2, 3), "Calculated dataset length is 0 or less.");
}

TEST_F(DataLengthTest, Trailer) {
  ASSERT_EQ(LoadBinary(32, 64064, "", "[Binary Infos]\nTrailerSize=64\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 1000);
  EXPECT_EQ(header.m_TrailerSize, 64);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(32, 64064, "DataPoints=1000\n", "[Binary Infos]\nTrailerSize=64\n"), 0);
  header = CHeaderFile();
  ExpectRefused(LoadBinary(32, 64064, "DataPoints=999\n", "[Binary Infos]\nTrailerSize=64\n"),
                "\"TrailerSize\" results in different data points than \"DataPoints\" value.");
  header = CHeaderFile();
  ExpectRefused(LoadBinary(2, 100, "", "[Binary Infos]\nTrailerSize=200\n"),
                "\"TrailerSize\" key has invalid value \"200\".");
  header = CHeaderFile();
  // A trailer of 0 has no effect.
  ASSERT_EQ(LoadBinary(2, 4000, "", "[Binary Infos]\nTrailerSize=0\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 1000);
}

TEST_F(DataLengthTest, SegmentsWithHeaders) {
  // 2 channels of 100 INT_16 points and a 16-byte header: 416 bytes a segment; 5 segments fit.
  ASSERT_EQ(LoadBinary(2, 416 * 5 + 100, "SegmentationType=FIXTIME\nSegmentDataPoints=100\n",
                       "[Binary Infos]\nSegmentHeaderSize=16\n"),
            0);
  EXPECT_EQ(header.m_DataPoints, 500);
  EXPECT_EQ(header.m_SegmentHeaderSize, 16);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(2, 416 * 3, "SegmentationType=FIXTIME\nSegmentDataPoints=100\n",
                       "[Binary Infos]\nSegmentHeaderSize=16\nTrailerSize=0\n"),
            0);
  EXPECT_EQ(header.m_DataPoints, 300);
  header = CHeaderFile();
  // Without a fixed segment length only the first header is skipped, as part of the data offset.
  ASSERT_EQ(LoadBinary(2, 512 + 4000, "SegmentationType=MARKERBASED\n",
                       "[Binary Infos]\nDataOffset=0\nSegmentHeaderSize=512\n"),
            0);
  EXPECT_EQ(header.m_DataOffset, 512);
  EXPECT_EQ(header.m_SegmentHeaderSize, 0);
  EXPECT_EQ(header.m_DataPoints, 1000);
  header = CHeaderFile();
  ExpectRefused(LoadBinary(2, 4000, "SegmentationType=MARKERBASED\n",
                           "[Binary Infos]\nDataOffset=2147483000\nSegmentHeaderSize=1000\n"),
                "\"SegmentHeaderSize\" key has invalid value \"1000\".");
}

TEST_F(DataLengthTest, DataPointsAreCutToWholeSegments) {
  ASSERT_EQ(LoadBinary(2, 4000, "SegmentationType=FIXTIME\nSegmentDataPoints=300\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 900);
  header = CHeaderFile();
  ASSERT_EQ(LoadBinary(2, 4000, "DataPoints=650\nSegmentationType=MARKERBASED\nSegmentDataPoints=300\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 600);
  header = CHeaderFile();
  ExpectRefused(LoadBinary(2, 4000, "SegmentationType=FIXTIME\nSegmentDataPoints=2000\n"),
                "Data points less than \"SegmentDataPoints\" calculated.");
}

TEST_F(DataLengthTest, PackedTwelveBitRefusesItsUnservedLayouts) {
  const std::string message =
      "\"ATS_INT_12_PACKED\" works not with data that are in big endian order, vectorized, contain segments "
      "or are complex.";
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", "UseBigEndianOrder=YES\n"},
      {"DataOrientation=VECTORIZED\n", ""},
      {"SegmentationType=FIXTIME\nSegmentDataPoints=10\n", "SegmentHeaderSize=6\n"},
      {"DataType=TIMEDOMAIN_COMPLEX\n", ""},
  };
  for (const auto& [common, binary] : cases) {
    ExpectRefused(LoadBinary(2, 6000, common, "[Binary Infos]\nBinaryFormat=ATS_INT_12_PACKED\n" + std::string(binary)),
                  message);
    EXPECT_EQ(header.m_Channels.size(), 2u) << "the channels come before the packed layout check";
    header = CHeaderFile();
  }
  // The channels' own failure comes first.
  ExpectRefused(LoadBinary(2, 6000, "",
                           "[Binary Infos]\nBinaryFormat=ATS_INT_12_PACKED\nUseBigEndianOrder=YES\n"
                           "[Channel Infos]\nCh1=Fp1,,0\n"),
                "\"ch1\" key has invalid value \"Fp1,,0\".");
}

TEST_F(DataLengthTest, CountsKeepTheLow32Bits) {
  // 2^32 + 1 data points of one INT_16 channel in a sparse file: the count wraps to 1.
  dir.WriteSized("s01.eeg", 0);
  std::filesystem::resize_file(dir.File("s01.eeg"), (std::uintmax_t(1) << 33) + 2);
  ASSERT_EQ(Load("[Common Infos]\nDataFile=s01.eeg\nDataFormat=BINARY\nSamplingInterval=1\nNumberOfChannels=1\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 1);
}

TEST_F(DataLengthTest, HugeCountsNeverOverflow) {
  // Data files that hold one value of each of the 2^31 - 1 channels.
  ExpectRefused(LoadBinary(2147483647, std::uint64_t(4) << 31,
                           "DataType=TIMEFREQUENCYDOMAIN_COMPLEX\nLayers=2147483647\nLayerUpperLimit=1\n"
                           "DataOrientation=VECTORIZED\n",
                           "[Binary Infos]\nBinaryFormat=IEEE_FLOAT_32\nChannelOffset=2147483647\n"),
                "Calculated dataset length is 0 or less.");
  header = CHeaderFile();
  ExpectRefused(
      LoadBinary(2147483647, std::uint64_t(2) << 31, "SegmentationType=FIXTIME\nSegmentDataPoints=2147483647\n",
                 "[Binary Infos]\nSegmentHeaderSize=2147483647\n"),
      "Calculated dataset length is 0 or less.");
}

TEST_F(DataLengthTest, TheDataFileMustHoldAValueOfEveryChannelBeforeTheChannelsAreMade) {
  struct Case {
    int channels;
    std::string_view infos;
    std::uint64_t dataBytes;  // the least that holds a value of every channel
  };
  const Case cases[] = {
      {3, "", 6},
      {3, "BinaryFormat=IEEE_FLOAT_32\n", 12},
      {3, "BinaryFormat=ATS_INT_12_PACKED\n", 5},
      {2, "DataOffset=10\n", 14},
  };
  for (const auto& [channels, infos, dataBytes] : cases) {
    ExpectRefused(LoadBinary(channels, dataBytes - 1, "DataPoints=1\n", "[Binary Infos]\n" + std::string(infos)),
                  "Calculated dataset length is 0 or less.");
    EXPECT_TRUE(header.m_Channels.empty()) << channels << " " << infos;
    header = CHeaderFile();
    EXPECT_EQ(LoadBinary(channels, dataBytes, "DataPoints=1\n", "[Binary Infos]\n" + std::string(infos)), 0);
    header = CHeaderFile();
  }
  // 20 million channels claimed beside two bytes of data are refused before a channel is made.
  ExpectRefused(LoadBinary(20000000, 2, "DataPoints=1\n"), "Calculated dataset length is 0 or less.");
  EXPECT_TRUE(header.m_Channels.empty());
  header = CHeaderFile();
  // Text takes at least a character and a separator for each value but the last.
  ExpectRefused(LoadAscii("1 2", 3, "", "DataPoints=1\n"), "Calculated dataset length is 0 or less.");
  header = CHeaderFile();
  EXPECT_EQ(LoadAscii("1 2 3", 3, "", "DataPoints=1\n"), 0);
}

TEST_F(DataLengthTest, AChannelListThatNoMemoryHoldsIsAnAllocationFailure) {
  EXPECT_THROW(LoadBinary(2000000000, 4000000000, "DataPoints=10\n"), std::bad_alloc);
  header = CHeaderFile();
  // Keys before the channel list are checked first.
  ExpectRefused(LoadBinary(2000000000, 4000000000, "DataPoints=10\nDataOrientation=X\n"),
                "\"DataOrientation\" key has invalid value \"X\".");
}

TEST_F(DataLengthTest, AFolderAsDataFileHasNoData) {
  std::filesystem::create_directory(dir.File("folder"));
  ExpectRefused(Load("[Common Infos]\nDataFile=folder\nDataFormat=BINARY\nSamplingInterval=1\nNumberOfChannels=1\n"),
                "Calculated dataset length is 0 or less.");
}

TEST_F(DataLengthTest, AsciiValuesAreCountedBehindSkippedLines) {
  std::string data = "Fp1 Fp2 Cz\n";
  for (int i = 0; i < 10; ++i) data += "1.5 -2e3 +3\n";
  ASSERT_EQ(LoadAscii(data, 3, "SkipLines=1\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 10);
  EXPECT_EQ(header.m_SkipLines, 1);
  EXPECT_EQ(header.m_DecimalSymbol, '.');
  header = CHeaderFile();
  // Without SkipLines a title line counts too: "e1" of Fe1 and "2" of Fp2 make 32 values, still 10
  // data points of 3 channels.
  ASSERT_EQ(LoadAscii("Fe1 Fp2\n" + data.substr(11), 3, ""), 0);
  EXPECT_EQ(header.m_DataPoints, 10);
}

TEST_F(DataLengthTest, AsciiDecimalCommaAndSkippedColumns) {
  std::string data;
  for (int i = 0; i < 10; ++i) data.append("t").append(std::to_string(i)).append("; 1,5; -2,25;3,0\n");
  ASSERT_EQ(LoadAscii(data, 3, "DecimalSymbol=,\nSkipColumns=1\n"), 0);
  EXPECT_EQ(header.m_DecimalSymbol, ',');
  EXPECT_EQ(header.m_DataPoints, 10);
  header = CHeaderFile();
  // The values of complex data count twice per data point.
  ASSERT_EQ(LoadAscii("1 2 3 4\n5 6 7 8\n", 2, "", "DataType=TIMEDOMAIN_COMPLEX\n"), 0);
  EXPECT_EQ(header.m_DataPoints, 2);
}

TEST_F(DataLengthTest, AsciiInfosRefusals) {
  ExpectRefused(LoadAscii("1\n", 1, "DecimalSymbol=\n"), "\"DecimalSymbol\" key has invalid value \"\".");
  header = CHeaderFile();
  ExpectRefused(LoadAscii("1\n", 1, "DecimalSymbol=;\n"), "\"DecimalSymbol\" key has invalid value \"\".");
  header = CHeaderFile();
  ExpectRefused(LoadAscii("1\n", 1, "DecimalSymbol=:\n"), "\"DecimalSymbol\" key has invalid value \":\".");
  header = CHeaderFile();
  ExpectRefused(LoadAscii("1\n", 1, "SkipLines=-1\n"), "\"SkipLines\" key has invalid value \"-1\".");
  header = CHeaderFile();
  ExpectRefused(LoadAscii("1\n", 1, "SkipColumns=-1\n"), "\"SkipColumns\" key has invalid value \"-1\".");
  header = CHeaderFile();
  ExpectRefused(LoadAscii("x y\n", 1, ""), "Calculated dataset length is 0 or less.");
  header = CHeaderFile();
  ExpectRefused(LoadAscii("1 2\n", 1, "SkipLines=1\n"), "Calculated dataset length is 0 or less.");
}

TEST(CountValues, RunsOfNumberCharactersAfterTheSkippedColumns) {
  CHeaderFile header;
  header.m_DecimalSymbol = '.';
  EXPECT_EQ(header.CountValues("1 2\t3,4;5"), 5);
  EXPECT_EQ(header.CountValues("  -1.5e+3xx2  "), 2);
  EXPECT_EQ(header.CountValues("Fp1 Cz Eye"), 3);  // "1" of Fp1, "E" and "e" of Eye
  EXPECT_EQ(header.CountValues(""), 0);
  header.m_SkipColumns = 2;
  EXPECT_EQ(header.CountValues("a b 1 2"), 2);
  EXPECT_EQ(header.CountValues(" ;a, b"), 0);
  EXPECT_EQ(header.CountValues("a"), 0);
  header.m_SkipColumns = 0;
  header.m_DecimalSymbol = ',';
  EXPECT_EQ(header.CountValues("1,5 2,5;3"), 3);
}

}  // namespace
