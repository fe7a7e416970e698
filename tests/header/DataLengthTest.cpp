#include <filesystem>
#include <new>
#include <sstream>

#include "header/AsciiTokens.h"
#include "header/HeaderTestSupport.h"

namespace {

class DataLengthTest : public HeaderTest {
 protected:
  // What a load gives: the layout's numbers, or the refusal's message.
  std::string Outcome(int result) {
    std::ostringstream text;
    if (result != 0) {
      text << result << ": " << header.m_ErrorMessage;
      if (!header.m_Channels.empty()) text << " (" << header.m_Channels.size() << " channels made)";
    } else {
      text << header.m_DataPoints << " points of " << header.m_BytesPerDataPoint << " B, format "
           << header.m_SampleFormat;
      if (header.m_UseBigEndianOrder) text << ", big endian";
      if (header.m_DataOffset) text << ", offset " << header.m_DataOffset;
      if (header.m_ChannelOffset) text << ", channel offset " << header.m_ChannelOffset;
      if (header.m_TrailerSize) text << ", trailer " << header.m_TrailerSize;
      if (header.m_SegmentHeaderSize) text << ", segment header " << header.m_SegmentHeaderSize;
      if (header.m_SkipLines) text << ", skip " << header.m_SkipLines;
      if (header.m_DecimalSymbol) text << ", decimal " << header.m_DecimalSymbol;
    }
    header = CHeaderFile();
    return text.str();
  }
  int LoadAscii(std::string_view data, int channels, std::string_view common, std::string_view infos) {
    dir.Write("s01.txt", data);
    return Load("[Common Infos]\nDataFile=s01.txt\nSamplingInterval=1000\nNumberOfChannels=" +
                std::to_string(channels) + "\n" + std::string(common) + "[ASCII Infos]\n" + std::string(infos));
  }
};

const std::string kNoData = "2: Calculated dataset length is 0 or less.";
const std::string kPacked =
    "2: \"ATS_INT_12_PACKED\" works not with data that are in big endian order, vectorized, contain segments or are "
    "complex. (2 channels made)";

TEST_F(DataLengthTest, BinaryLayouts) {
  struct Case {
    int channels;
    std::uint64_t dataBytes;
    std::string_view common;
    std::string binary;  // the lines of [Binary Infos]
    std::string expected;
  };
  const std::string packed = "BinaryFormat=ATS_INT_12_PACKED\n";
  const Case cases[] = {
      {32, 64000, "", "", "1000 points of 2 B, format 2"},
      {32, 64001, "", "", "1000 points of 2 B, format 2"},  // a partial data point is no data point
      {2, 8000, "DataType=TIMEDOMAIN_COMPLEX\n", "", "1000 points of 4 B, format 2"},
      {2, 8000, "", "BinaryFormat=ieee_float_32\n", "1000 points of 4 B, format 1"},
      {4, 6000, "", packed, "1000 points of 1.5 B, format 4"},
      {3, 11, "", packed, "2 points of 1.5 B, format 4"},  // packed 12-bit counts exactly
      {4, 80000, "DataType=TIMEFREQUENCYDOMAIN\nLayers=10\nLayerUpperLimit=50\n", "", "1000 points of 20 B, format 2"},
      {1, 1000, "", "BinaryFormat=UINT_16\nUseBigEndianOrder=true\n", "500 points of 2 B, format 3, big endian"},
      {2, 4000, "", "BinaryFormat=INT_32\n", Invalid("BinaryFormat", "INT_32")},
      {2, 4000, "", "UseBigEndianOrder=1\n", Invalid("UseBigEndianOrder", "1")},
      {2, 4000, "", "DataOffset=-1\n", Invalid("DataOffset", "-1")},
      {2, 4000, "", "TrailerSize=-1\n", Invalid("TrailerSize", "-1")},
      {2, 4000, "DataOrientation=VECTORIZED\n", "ChannelOffset=-1\n", Invalid("ChannelOffset", "-1")},
      {2, 4000, "SegmentationType=MARKERBASED\n", "SegmentHeaderSize=-1\n", Invalid("SegmentHeaderSize", "-1")},
      // Keys that the layout does not use are not read at all.
      {2, 4000, "", "ChannelOffset=-1\nSegmentHeaderSize=-1\n", "1000 points of 2 B, format 2"},
      {2, 4100, "", "DataOffset=100\n", "1000 points of 2 B, format 2, offset 100"},
      {2, 4020, "DataOrientation=VECTORIZED\n", "ChannelOffset=10\n",
       "1000 points of 2 B, format 2, channel offset 10"},
      {2, 50, "", "DataOffset=100\n", kNoData},
      {2, 3, "", "", kNoData},
      {32, 64064, "", "TrailerSize=64\n", "1000 points of 2 B, format 2, trailer 64"},
      {32, 64064, "DataPoints=1000\n", "TrailerSize=64\n", "1000 points of 2 B, format 2, trailer 64"},
      {32, 64064, "DataPoints=999\n", "TrailerSize=64\n",
       "2: \"TrailerSize\" results in different data points than \"DataPoints\" value."},
      {2, 100, "", "TrailerSize=200\n", Invalid("TrailerSize", "200")},
      {2, 4000, "", "TrailerSize=0\n", "1000 points of 2 B, format 2"},
      // 416 bytes a segment of 100 points and a 16-byte header: 5 segments fit.
      {2, 416 * 5 + 100, "SegmentationType=FIXTIME\nSegmentDataPoints=100\n", "SegmentHeaderSize=16\n",
       "500 points of 2 B, format 2, segment header 16"},
      {2, 416 * 3, "SegmentationType=FIXTIME\nSegmentDataPoints=100\n", "SegmentHeaderSize=16\nTrailerSize=0\n",
       "300 points of 2 B, format 2, segment header 16"},
      // Without a fixed segment length only the first header is skipped, as part of the data offset.
      {2, 512 + 4000, "SegmentationType=MARKERBASED\n", "DataOffset=0\nSegmentHeaderSize=512\n",
       "1000 points of 2 B, format 2, offset 512"},
      {2, 4000, "SegmentationType=MARKERBASED\n", "DataOffset=2147483000\nSegmentHeaderSize=1000\n",
       Invalid("SegmentHeaderSize", "1000")},
      // Data points are cut to whole segments.
      {2, 4000, "SegmentationType=FIXTIME\nSegmentDataPoints=300\n", "", "900 points of 2 B, format 2"},
      {2, 4000, "DataPoints=650\nSegmentationType=MARKERBASED\nSegmentDataPoints=300\n", "",
       "600 points of 2 B, format 2"},
      {2, 4000, "SegmentationType=FIXTIME\nSegmentDataPoints=2000\n", "",
       "2: Data points less than \"SegmentDataPoints\" calculated."},
      // Packed 12-bit data refuses the layouts it does not serve, after the channels are made.
      {2, 6000, "", packed + "UseBigEndianOrder=YES\n", kPacked},
      {2, 6000, "DataOrientation=VECTORIZED\n", packed, kPacked},
      {2, 6000, "SegmentationType=FIXTIME\nSegmentDataPoints=10\n", packed + "SegmentHeaderSize=6\n", kPacked},
      {2, 6000, "DataType=TIMEDOMAIN_COMPLEX\n", packed, kPacked},
      {2, 6000, "", packed + "UseBigEndianOrder=YES\n[Channel Infos]\nCh1=Fp1,,0\n",
       "2: \"ch1\" key has invalid value \"Fp1,,0\". (2 channels made)"},
      // Counts keep their low 32 bits: 2^32 + 1 points of one channel count as 1.
      {1, (std::uint64_t(1) << 33) + 2, "", "", "1 points of 2 B, format 2"},
      // Huge counts never overflow: data files that hold one value of each of 2^31 - 1 channels.
      {2147483647, std::uint64_t(4) << 31,
       "DataType=TIMEFREQUENCYDOMAIN_COMPLEX\nLayers=2147483647\nLayerUpperLimit=1\nDataOrientation=VECTORIZED\n",
       "BinaryFormat=IEEE_FLOAT_32\nChannelOffset=2147483647\n", kNoData},
      {2147483647, std::uint64_t(2) << 31, "SegmentationType=FIXTIME\nSegmentDataPoints=2147483647\n",
       "SegmentHeaderSize=2147483647\n", kNoData},
      // The data file must hold a value of every channel before the channels are made.
      {3, 5, "DataPoints=1\n", "", kNoData},
      {3, 6, "DataPoints=1\n", "", "1 points of 2 B, format 2"},
      {3, 4, "DataPoints=1\n", packed, kNoData},
      {3, 5, "DataPoints=1\n", packed, "1 points of 1.5 B, format 4"},
      {2, 13, "DataPoints=1\n", "DataOffset=10\n", kNoData},
      {2, 14, "DataPoints=1\n", "DataOffset=10\n", "1 points of 2 B, format 2, offset 10"},
      {20000000, 2, "DataPoints=1\n", "", kNoData},
      // Keys before the channel list are checked before its memory is asked for.
      {2000000000, 4000000000, "DataPoints=10\nDataOrientation=X\n", "", Invalid("DataOrientation", "X")},
      {1, 0, "DataFile=folder\n", "", kNoData},  // a folder holds no data
  };
  std::filesystem::create_directory(dir.File("folder"));
  for (const Case& c : cases) {
    const std::string binary = c.binary.empty() ? "" : "[Binary Infos]\n" + std::string(c.binary);
    EXPECT_EQ(Outcome(LoadBinary(c.channels, c.dataBytes, c.common, binary)), c.expected)
        << c.channels << " channels in " << c.dataBytes << " bytes\n"
        << c.common << binary;
  }
  EXPECT_THROW(LoadBinary(2000000000, 4000000000, "DataPoints=10\n"), std::bad_alloc);
}

TEST_F(DataLengthTest, AsciiLayouts) {
  std::string data = "Fp1 Fp2 Cz\n", comma;
  for (int i = 0; i < 10; ++i) data += "1.5 -2e3 +3\n";
  for (int i = 0; i < 10; ++i) comma.append("t").append(std::to_string(i)).append("; 1,5; -2,25;3,0\n");
  struct Case {
    std::string data;
    int channels;
    std::string_view common, infos;
    std::string expected;
  };
  const Case cases[] = {
      {data, 3, "", "SkipLines=1\n", "10 points of 0 B, format 0, skip 1, decimal ."},
      // Without SkipLines a title line counts too: "e1" of Fe1 and "2" of Fp2 make 32 values.
      {"Fe1 Fp2\n" + data.substr(11), 3, "", "", "10 points of 0 B, format 0, decimal ."},
      {comma, 3, "", "DecimalSymbol=,\nSkipColumns=1\n", "10 points of 0 B, format 0, decimal ,"},
      // The values of complex data count twice per data point.
      {"1 2 3 4\n5 6 7 8\n", 2, "DataType=TIMEDOMAIN_COMPLEX\n", "", "2 points of 0 B, format 0, decimal ."},
      // Text takes at least a character and a separator for each value but the last.
      {"1 2", 3, "DataPoints=1\n", "", kNoData},
      {"1 2 3", 3, "DataPoints=1\n", "", "1 points of 0 B, format 0, decimal ."},
      {"1\n", 1, "", "DecimalSymbol=\n", Invalid("DecimalSymbol", "")},
      {"1\n", 1, "", "DecimalSymbol=;\n", Invalid("DecimalSymbol", "")},
      {"1\n", 1, "", "DecimalSymbol=:\n", Invalid("DecimalSymbol", ":")},
      {"1\n", 1, "", "SkipLines=-1\n", Invalid("SkipLines", "-1")},
      {"1\n", 1, "", "SkipColumns=-1\n", Invalid("SkipColumns", "-1")},
      // Values are runs of number characters (digits, signs, points, exponent letters) behind the skipped columns.
      {"1 2\t3,4;5", 1, "", "", "5 points of 0 B, format 0, decimal ."},
      {"  -1.5e+3xx2  ", 1, "", "", "2 points of 0 B, format 0, decimal ."},
      {"Fp1 Cz Eye", 1, "", "", "3 points of 0 B, format 0, decimal ."},
      {"a b 1 2", 1, "", "SkipColumns=2\n", "2 points of 0 B, format 0, decimal ."},
      {" ;a, b", 1, "", "SkipColumns=2\n", kNoData},
      {"a", 1, "", "SkipColumns=2\n", kNoData},
      {"x y\n", 1, "", "", kNoData},
      {"1 2\n", 1, "", "SkipLines=1\n", kNoData},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Outcome(LoadAscii(c.data, c.channels, c.common, c.infos)), c.expected) << c.common << c.infos;
}

// Runs are counted sixteen characters at a time where the processor can: every character counts as
// its class says, within such a chunk or behind it.
TEST(NumberRuns, EveryCharacterCountsAsItsClass) {
  for (const char symbol : {'.', ','})
    for (int c = 0; c < 256; ++c)
      EXPECT_EQ(CountNumberRuns("1" + std::string(20, char(c)) + "2", symbol, 0),
                IsNumberCharacter(char(c), symbol) ? 1 : 2)
          << c << symbol;
}

}  // namespace
