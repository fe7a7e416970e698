#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "header/HeaderCodes.h"
#include "readers/BinaryReader.h"
#include "readers/ReaderTestSupport.h"
#include "readers/TwelveBit.h"
#include "support/TempDir.h"

namespace {

// A binary layout, a file written in it, and an independent reading of any number from the bytes.
struct Layout {
  std::int32_t format = FORMAT_INT_16;
  bool bigEndian = false;
  bool multiplexed = true;
  std::int32_t channels = 3, points = 10, layers = 1;
  bool complex = false;
  std::int32_t dataOffset = 0, channelOffset = 0, headerSize = 0, segmentPoints = 0;
  std::vector<float> resolutions;

  std::int64_t Values() const { return (complex ? 2 : 1) * std::int64_t(layers); }
  std::int64_t NumberSize() const { return format == FORMAT_IEEE_FLOAT_32 ? 4 : 2; }
  std::int64_t PointBytes() const { return NumberSize() * Values(); }

  // Byte position of number k of channel c at point t (not for packed data).
  std::int64_t Position(std::int64_t t, std::int64_t c, std::int64_t k) const {
    const std::int64_t b = PointBytes(), s = NumberSize(), row = channels * b;
    if (multiplexed) {
      const std::int64_t headers = segmentPoints > 0 ? (t / segmentPoints + 1) * headerSize : 0;
      return dataOffset + headers + t * row + c * b + k * s;
    }
    if (segmentPoints > 0) return dataOffset + channelOffset + c * points * b + t * b + k * s;
    return dataOffset + channelOffset + c * (points * b + channelOffset) + t * b + k * s;
  }

  // The raw stored pattern of a number: varied, with the extremes of each format among them.
  static std::uint32_t Raw(std::int64_t t, std::int64_t c, std::int64_t k) {
    static const std::uint32_t edges[] = {0x0000, 0x8000, 0x7FFF, 0xFFFF, 0x0001, 0x800, 0x7FF, 0xFFF};
    const std::uint64_t h = std::uint64_t(t * 1000003 + c * 7919 + k * 104729) * 0x9E3779B97F4A7C15ull;
    return (h >> 60) < 8 ? edges[h >> 60] : std::uint32_t(h >> 20);
  }

  std::string Write() const {
    std::string bytes;
    auto put = [&](std::int64_t at, std::uint32_t raw) {
      const std::int64_t s = NumberSize();
      if (std::int64_t(bytes.size()) < at + s) bytes.resize(std::size_t(at + s), char(0xA5));
      std::uint8_t out[4];
      if (format == FORMAT_IEEE_FLOAT_32) {
        const float value = float(std::int32_t(raw)) / 64.0f;
        std::memcpy(out, &value, 4);
      } else {
        out[0] = std::uint8_t(raw), out[1] = std::uint8_t(raw >> 8);
      }
      if (bigEndian) std::reverse(out, out + s);
      std::memcpy(bytes.data() + at, out, std::size_t(s));
    };
    if (format == FORMAT_ATS_INT_12_PACKED) {
      const std::int64_t numbers = std::int64_t(points) * channels * Values();
      bytes.assign(std::size_t(dataOffset + (3 * numbers + 1) / 2), char(0x5A));
      for (std::int64_t g = 0; g < numbers; ++g) {
        const std::uint32_t raw = Raw(g / Values() / channels, g / Values() % channels, g % Values()) & 0xFFF;
        auto* at = reinterpret_cast<std::uint8_t*>(bytes.data() + dataOffset + 3 * g / 2);
        if (g % 2 == 0) {
          at[0] = std::uint8_t(raw >> 4);
          at[1] = std::uint8_t((at[1] & 0x0F) | (raw & 0x0F) << 4);
        } else {
          at[0] = std::uint8_t((at[0] & 0xF0) | raw >> 8);
          at[1] = std::uint8_t(raw);
        }
      }
      return bytes;
    }
    bytes.assign(std::size_t(dataOffset), char(0x11));
    for (std::int64_t t = 0; t < points; ++t)
      for (std::int64_t c = 0; c < channels; ++c)
        for (std::int64_t k = 0; k < Values(); ++k) put(Position(t, c, k), Raw(t, c, k));
    return bytes;
  }

  // The delivered value of a number, read from the file's bytes (missing bytes read as zero).
  float Expected(const std::string& file, std::int64_t t, std::int64_t c, std::int64_t k) const {
    const float resolution = std::size_t(c) < resolutions.size() ? resolutions[std::size_t(c)] : 1.0f;
    auto byte = [&](std::int64_t at) -> std::uint8_t {
      return at >= 0 && at < std::int64_t(file.size()) ? std::uint8_t(file[std::size_t(at)]) : 0;
    };
    if (format == FORMAT_ATS_INT_12_PACKED) {
      const std::int64_t g = (t * channels + c) * Values() + k, at = dataOffset + 3 * g / 2;
      const unsigned raw =
          g % 2 == 0 ? unsigned(byte(at)) << 4 | byte(at + 1) >> 4 : unsigned(byte(at) & 0x0F) << 8 | byte(at + 1);
      return float(int(raw ^ 0x800) - 0x800) * resolution;
    }
    std::uint8_t in[4] = {};
    const std::int64_t at = Position(t, c, k), s = NumberSize();
    for (std::int64_t i = 0; i < s; ++i) in[i] = byte(at + i);
    if (bigEndian) std::reverse(in, in + s);
    if (format == FORMAT_IEEE_FLOAT_32) {
      float value;
      std::memcpy(&value, in, 4);
      return value * resolution;
    }
    const std::uint16_t raw = std::uint16_t(in[0] | in[1] << 8);
    return float(format == FORMAT_UINT_16 ? int(raw) - 32768 : int(std::int16_t(raw))) * resolution;
  }

  HRESULT Open(CBinaryReader& reader, const std::string& path, std::int32_t dataPoints) const {
    return reader.Open(path, channels, dataPoints, multiplexed, resolutions, complex, layers, format, dataOffset,
                       channelOffset, bigEndian, headerSize, segmentPoints);
  }
};

class BinaryReaderTest : public ::testing::Test {
 protected:
  // Writes the layout's file, opens a reader on it, and checks reads against the bytes.
  void Open(const Layout& layout) {
    m_Layout = layout;
    m_File = layout.Write();
    m_Reader = std::make_unique<CBinaryReader>();
    ASSERT_EQ(layout.Open(*m_Reader, dir.Write("data.bin", m_File), layout.points), S_OK);
  }
  void ExpectRead(LONG position, LONG count, const std::vector<LONG>* channels = nullptr) {
    std::vector<LONG> all;
    for (LONG c = 0; c < m_Layout.channels; ++c) all.push_back(c);
    const std::vector<LONG>& selected = channels ? *channels : all;
    const std::size_t values = std::size_t(m_Layout.Values());
    const ReadResult read =
        ReadBlock(*m_Reader, position, count, channels, std::size_t(count) * selected.size() * values);
    ASSERT_EQ(read.result, S_OK);
    for (LONG p = 0; p < count; ++p)
      for (std::size_t j = 0; j < selected.size(); ++j)
        for (std::size_t k = 0; k < values; ++k) {
          const float expected = m_Layout.Expected(m_File, position + p, selected[j], std::int64_t(k));
          const float got = read.values[(std::size_t(p) * selected.size() + j) * values + k];
          ASSERT_EQ(std::memcmp(&expected, &got, 4), 0)
              << "point " << position + p << ", channel " << selected[j] << ", number " << k << ": " << got
              << " instead of " << expected;
        }
  }
  // Random intervals (some reaching past the end) and random channel lists.
  void ExpectRandomReads(int reads) {
    std::mt19937 random(12345);
    for (int i = 0; i < reads; ++i) {
      const LONG position = LONG(random() % std::uint32_t(m_Layout.points + 5));
      const LONG count = LONG(random() % std::uint32_t(m_Layout.points + 3));
      std::vector<LONG> channels(random() % 5 + 1);
      for (LONG& channel : channels) channel = LONG(random() % std::uint32_t(m_Layout.channels));
      ExpectRead(position, count, i % 3 == 0 ? nullptr : &channels);
    }
  }

  TempDir dir;
  CBinaryReader reader;
  std::unique_ptr<CBinaryReader> m_Reader;  // the reader of Open
  Layout m_Layout;
  std::string m_File;
};

TEST_F(BinaryReaderTest, EdgeValuesOfEachFormat) {
  const std::pair<std::string, std::vector<float>> cases[] = {
      {std::string("\x00\x80\xFF\x7F\xFF\xFF", 6), {-32768, 32767, -1}},  // INT_16 little-endian
  };
  Layout layout;
  layout.channels = 1;
  for (const auto& [bytes, expected] : cases) {
    ASSERT_EQ(layout.Open(reader, dir.Write("a.bin", bytes), 0), S_OK);
    EXPECT_EQ(reader.GetDataPoints(), 3);
    EXPECT_EQ(ReadBlock(reader, 0, 3, nullptr, 3).values, expected);
  }
  CBinaryReader big;
  layout.bigEndian = true;
  ASSERT_EQ(layout.Open(big, dir.Write("b.bin", std::string("\x7F\xFF\x80\x00", 4)), 0), S_OK);
  EXPECT_EQ(ReadBlock(big, 0, 2, nullptr, 2).values, (std::vector<float>{32767, -32768}));
  CBinaryReader unsignedReader;
  layout.bigEndian = false;
  layout.format = FORMAT_UINT_16;
  layout.resolutions = {0.5f};
  ASSERT_EQ(layout.Open(unsignedReader, dir.Write("c.bin", std::string("\x00\x80\x00\x00\xFF\xFF", 6)), 0), S_OK);
  EXPECT_EQ(ReadBlock(unsignedReader, 0, 3, nullptr, 3).values, (std::vector<float>{0, -16384, 16383.5f}));
}

TEST_F(BinaryReaderTest, PackedTwelveBitNibbles) {
  Layout layout;
  layout.format = FORMAT_ATS_INT_12_PACKED;
  layout.channels = 2;
  ASSERT_EQ(layout.Open(reader, dir.Write("p.bin", "\x12\x34\x56\xFF\xF0\x01"), 0), S_OK);
  EXPECT_EQ(reader.GetDataPoints(), 2);
  EXPECT_EQ(ReadBlock(reader, 0, 2, nullptr, 4).values, (std::vector<float>{291, 1110, -1, 1}));
  // N = 3, position 1: the interval starts in the low nibble of byte 4 (after 2 bytes of offset).
  CBinaryReader odd;
  layout.channels = 3;
  layout.dataOffset = 2;
  ASSERT_EQ(layout.Open(odd, dir.Write("q.bin", std::string("\xEE\xEE\x00\x00\x00\x00\x0A\xBC\xDE\xF0\x12", 11)), 0),
            S_OK);
  EXPECT_EQ(odd.GetDataPoints(), 2);
  EXPECT_EQ(ReadBlock(odd, 1, 1, nullptr, 3).values,
            (std::vector<float>{float(0xABC - 0x1000), float(0xDEF - 0x1000), 0x012}));
}

// The shuffle unpacker (where the processor has it) against the plain one, at every start parity
// and length, on a buffer that ends exactly after the last number.
TEST(TwelveBitTest, UnpackersAgree) {
  std::mt19937 random(99);
  for (std::size_t numbers = 0; numbers < 70; ++numbers)
    for (const bool odd : {false, true}) {
      const std::size_t bytes = (3 * (numbers + (odd ? 1 : 0)) + 1) / 2 - (odd ? 1 : 0);
      std::vector<std::uint8_t> packed(bytes);
      for (std::uint8_t& byte : packed) byte = std::uint8_t(random());
      std::vector<float> plain(numbers), chosen(numbers);
      UnpackTwelveBitScalar(packed.data(), odd, numbers, plain.data());
      ChooseTwelveBitUnpacker()(packed.data(), odd, numbers, chosen.data());
      EXPECT_EQ(plain, chosen) << numbers << (odd ? " odd" : " even");
    }
}

TEST_F(BinaryReaderTest, ScalingRoundsTheProductToFloat) {
  Layout layout;
  layout.format = FORMAT_IEEE_FLOAT_32;
  layout.channels = 1;
  layout.resolutions = {0.1f};
  const float stored = 3.3f;
  ASSERT_EQ(layout.Open(reader, dir.Write("f.bin", std::string(reinterpret_cast<const char*>(&stored), 4)), 0), S_OK);
  EXPECT_EQ(ReadBlock(reader, 0, 1, nullptr, 1).values, std::vector<float>{stored * 0.1f});
}

TEST_F(BinaryReaderTest, EveryFormatInEveryLayoutReadsItsBytes) {
  for (std::int32_t format : {FORMAT_IEEE_FLOAT_32, FORMAT_INT_16, FORMAT_UINT_16, FORMAT_ATS_INT_12_PACKED})
    for (bool bigEndian : {false, true})
      for (int layoutKind = 0; layoutKind < 4; ++layoutKind) {
        if (format == FORMAT_ATS_INT_12_PACKED && (bigEndian || layoutKind >= 2)) continue;
        Layout layout;
        layout.format = format;
        layout.bigEndian = bigEndian;
        layout.channels = 4;
        layout.points = 37;
        layout.layers = 2;
        layout.complex = format != FORMAT_ATS_INT_12_PACKED && layoutKind == 1;
        layout.dataOffset = 7;
        layout.resolutions = {0.5f, 2.0f, 0.1f};  // channel 3 has none: 1.0
        layout.multiplexed = layoutKind < 2;
        if (layoutKind == 1 && format != FORMAT_ATS_INT_12_PACKED) layout.segmentPoints = 10, layout.headerSize = 5;
        if (layoutKind == 2) layout.channelOffset = 3;
        if (layoutKind == 3) layout.channelOffset = 6, layout.segmentPoints = 12;
        SCOPED_TRACE("format " + std::to_string(format) + (bigEndian ? " big-endian" : "") + " layout " +
                     std::to_string(layoutKind));
        Open(layout);
        ExpectRead(0, layout.points);
        ExpectRandomReads(40);
      }
}

TEST_F(BinaryReaderTest, SegmentBoundariesAcrossChunks) {
  // 64 channels of 100-point segments with 16-byte headers, long enough for several chunks a read.
  Layout layout;
  layout.channels = 64;
  layout.points = 5000;
  layout.segmentPoints = 100;
  layout.headerSize = 16;
  layout.dataOffset = 3;
  Open(layout);
  ExpectRead(100, 50);   // begins with a segment
  ExpectRead(150, 100);  // 50 rows, a header, 50 rows
  ExpectRead(0, 5000);
  ExpectRead(4999, 3);  // past the end
  const std::vector<LONG> reordered = {63, 0, 5, 5, 62};
  ExpectRead(1234, 3000, &reordered);
}

TEST_F(BinaryReaderTest, HugeHeadersAndRowsLargerThanAChunk) {
  Layout layout;
  layout.channels = 2;
  layout.points = 40;
  layout.segmentPoints = 3;
  layout.headerSize = 300000;
  Open(layout);
  ExpectRead(0, 40);
  ExpectRead(5, 20);
  Layout wide;
  wide.channels = 70000;  // a row of 140000 bytes
  wide.points = 4;
  wide.format = FORMAT_UINT_16;
  Open(wide);
  ExpectRead(1, 3);
  // Rows wider than a chunk, read through a channel list (each selected number fetched alone).
  const std::vector<LONG> some = {5, 139999, 5, 70000};
  wide.channels = 140000;
  wide.points = 3;
  wide.bigEndian = true;
  wide.complex = true;
  Open(wide);
  ExpectRead(0, 3, &some);
  ExpectRead(1, 4, &some);
  wide = Layout{};
  wide.format = FORMAT_ATS_INT_12_PACKED;
  wide.channels = 180001;  // odd: every second row starts in a low nibble
  wide.points = 3;
  Open(wide);
  ExpectRead(0, 3, &some);
  ExpectRead(1, 4, &some);
}

// A damaged store may claim 600 million channels for a short file: reading one channel costs
// only that channel, in every layout.
TEST_F(BinaryReaderTest, AHugeChannelCountCostsOnlyTheSelectedChannels) {
  const std::string path = dir.Write("short.bin", std::string(64, char(0x01)));
  const std::vector<LONG> last = {603979775};
  for (const std::int32_t format : {FORMAT_INT_16, FORMAT_ATS_INT_12_PACKED})
    for (const bool multiplexed : {true, false})
      for (const std::int32_t segmentPoints : {0, 4}) {
        if (format == FORMAT_ATS_INT_12_PACKED && !multiplexed) continue;
        Layout layout;
        layout.format = format;
        layout.channels = 603979776;
        layout.multiplexed = multiplexed;
        layout.segmentPoints = segmentPoints;
        layout.headerSize = segmentPoints ? 8 : 0;
        CBinaryReader huge;
        ASSERT_EQ(layout.Open(huge, path, 0), S_OK);
        const ReadResult read = ReadBlock(huge, 0, 10, &last, 10);
        EXPECT_EQ(read.result, S_OK);
        // Multiplexed: the channel lies beyond the file and reads as zero. Vectorized with no data
        // points: every channel's run starts at the first byte.
        EXPECT_EQ(read.values, std::vector<float>(10, multiplexed ? 0.0f : 257.0f));
      }
}

// Vectorized reads decode tiles of points, four channels at a time: blocks that span several tiles,
// channel counts that are not a multiple of four, and a list that repeats a channel.
TEST_F(BinaryReaderTest, VectorizedTilesAcrossManyChannels) {
  Layout layout;
  layout.multiplexed = false;
  layout.channels = 70;  // a tile holds 936 points of 70 channels
  layout.points = 3000;
  layout.format = FORMAT_UINT_16;
  layout.bigEndian = true;
  layout.resolutions.assign(70, 0.25f);
  Open(layout);
  ExpectRead(0, 2999);     // the last tile's points are not a multiple of four
  ExpectRead(1234, 1900);  // past the end of the data
  const std::vector<LONG> some = {69, 3, 3, 40, 0, 68, 1};
  ExpectRead(17, 2501, &some);
}

TEST_F(BinaryReaderTest, VectorizedChannelPositions) {
  // With O > 0 and S = 0, channel 2's first number lies at D + O + 2 × (P × B + O).
  Layout layout;
  layout.multiplexed = false;
  layout.channels = 3;
  layout.points = 4;
  layout.dataOffset = 2;
  layout.channelOffset = 4;
  EXPECT_EQ(layout.Position(0, 2, 0), 2 + 4 + 2 * (4 * 2 + 4));
  Open(layout);
  ExpectRead(0, 4);
  // Past the end of the last channel the bytes are missing and read as zero, not as the bytes of
  // the channel read before.
  const std::vector<LONG> lastThenFirst = {2, 0};
  const ReadResult read = ReadBlock(*m_Reader, 3, 3, &lastThenFirst, 6);
  EXPECT_EQ(read.values[2], 0.0f);
  EXPECT_EQ(read.values[4], 0.0f);
  EXPECT_EQ(read.values[3], layout.Expected(m_File, 4, 0, 0));  // channel 0 past its end: channel 1's offset bytes
  layout.segmentPoints = 2;
  EXPECT_EQ(layout.Position(0, 2, 0), 2 + 4 + 2 * 4 * 2);
}

TEST_F(BinaryReaderTest, DataPointsFromTheFileSize) {
  Layout layout;
  layout.channels = 32;
  const std::string path = dir.WriteSized("s.bin", 64001);
  ASSERT_EQ(layout.Open(reader, path, 0), S_OK);
  EXPECT_EQ(reader.GetDataPoints(), 1000);
  CBinaryReader vectorized;
  layout.multiplexed = false;
  layout.channelOffset = 10;
  layout.dataOffset = 100;
  ASSERT_EQ(layout.Open(vectorized, dir.WriteSized("v.bin", 100 + 32 * 10 + 64000), 0), S_OK);
  EXPECT_EQ(vectorized.GetDataPoints(), 1000);
  CBinaryReader packed;
  layout = Layout();
  layout.format = FORMAT_ATS_INT_12_PACKED;
  layout.channels = 4;
  layout.layers = 2;
  ASSERT_EQ(layout.Open(packed, dir.WriteSized("p.bin", 12000), 0), S_OK);
  EXPECT_EQ(packed.GetDataPoints(), 1000);
  CBinaryReader tooShort;
  layout = Layout();
  layout.dataOffset = 70000;
  ASSERT_EQ(layout.Open(tooShort, path, 0), S_OK);
  EXPECT_EQ(tooShort.GetDataPoints(), 0);
  CBinaryReader given;
  ASSERT_EQ(layout.Open(given, path, 77), S_OK);
  EXPECT_EQ(given.GetDataPoints(), 77);
}

TEST_F(BinaryReaderTest, OpenFailuresAnswerEveryLaterRead) {
  Layout layout;
  EXPECT_EQ(layout.Open(reader, dir.File("missing.bin"), 0), MakeResult(0x80041001));
  EXPECT_EQ(ReadBlock(reader, 0, 1, nullptr, 0).result, MakeResult(0x80041001));
  const std::string path = dir.WriteSized("d.bin", 100);
  for (std::int32_t format : {0, 5, -1}) {
    CBinaryReader bad;
    layout.format = format;
    EXPECT_EQ(layout.Open(bad, path, 0), E_FAIL) << format;
    EXPECT_EQ(ReadBlock(bad, 0, 1, nullptr, 0).result, E_FAIL);
  }
  CBinaryReader packedVectorized;
  layout.format = FORMAT_ATS_INT_12_PACKED;
  layout.multiplexed = false;
  EXPECT_EQ(layout.Open(packedVectorized, path, 0), E_FAIL);
  CBinaryReader unopened;
  EXPECT_EQ(ReadBlock(unopened, 0, 1, nullptr, 0).result, E_UNEXPECTED);
}

TEST_F(BinaryReaderTest, BadArgumentsAllocateNothing) {
  Layout layout;
  ASSERT_EQ(layout.Open(reader, dir.WriteSized("a.bin", 60), 0), S_OK);
  const std::vector<LONG> outside = {0, 3};
  const std::vector<LONG> negative = {-1};
  EXPECT_EQ(ReadBlock(reader, 0, 1, &outside, 0).result, E_INVALIDARG);
  EXPECT_EQ(ReadBlock(reader, 0, 1, &negative, 0).result, E_INVALIDARG);
  EXPECT_EQ(ReadBlock(reader, -1, 1, nullptr, 0).result, E_INVALIDARG);
  EXPECT_EQ(ReadBlock(reader, 0, -1, nullptr, 0).result, E_INVALIDARG);
  EXPECT_EQ(reader.ReadInterval(0, 1, nullptr, nullptr, 0), E_POINTER);
  float* block = nullptr;
  const LONG one = 0;
  EXPECT_EQ(reader.ReadInterval(0, 1, &block, &one, -2), E_INVALIDARG);
  EXPECT_EQ(ReadBlock(reader, 0, 0, nullptr, 0).result, S_OK);  // an empty block
  const std::vector<LONG> none;
  EXPECT_EQ(ReadBlock(reader, 5, 2, &none, 0).result, S_OK);

  Layout layered;
  layered.layers = 1 << 30;
  layered.complex = true;
  CBinaryReader huge;
  ASSERT_EQ(layered.Open(huge, dir.WriteSized("h.bin", 10), 1), S_OK);
  EXPECT_EQ(ReadBlock(huge, 0, 1 << 30, nullptr, 0).result, E_INVALIDARG);  // the block size overflows
  EXPECT_EQ(ReadBlock(huge, 0, 64, nullptr, 0).result, E_OUTOFMEMORY);      // 1.5 TB cannot be had
}

// Vectorized data of one number a point: whole and partial steps of eight channels and of the
// points a step takes, in every format, with all channels and with a long channel list.
TEST_F(BinaryReaderTest, VectorizedRunsInterleaveInEveryFormat) {
  for (std::int32_t format : {FORMAT_IEEE_FLOAT_32, FORMAT_INT_16, FORMAT_UINT_16})
    for (bool bigEndian : {false, true}) {
      Layout layout;
      layout.format = format;
      layout.bigEndian = bigEndian;
      layout.multiplexed = false;
      layout.channels = 21;
      layout.points = 53;
      layout.channelOffset = 3;
      layout.resolutions = {0.5f, 2.0f, 0.1f};
      SCOPED_TRACE("format " + std::to_string(format) + (bigEndian ? " big-endian" : ""));
      Open(layout);
      ExpectRead(0, layout.points);
      ExpectRead(5, 33);
      const std::vector<LONG> list = {20, 3, 3, 0, 7, 12, 19, 1, 8, 2, 15, 6, 11, 4, 9, 20, 5, 10};
      ExpectRead(1, 50, &list);
    }
}

}  // namespace
