#include <memory>
#include <random>

#include "readers/ReaderTestSupport.h"
#include "readers/TwelveBit.h"
#include "support/TempDir.h"

namespace {

class BinaryReaderTest : public ::testing::Test {
 protected:
  // Writes a file in the layout and opens a reader on it.
  void Open(const Layout& layout) {
    m_Layout = layout;
    m_File = layout.Write(random);
    m_Reader = std::make_unique<CBinaryReader>();
    ASSERT_EQ(layout.Open(*m_Reader, dir.Write("data.bin", m_File), layout.points), S_OK);
  }
  // A read of the channels (empty: all) gives, bit for bit, what the layout reads from the file's bytes.
  void ExpectRead(LONG position, LONG count, const std::vector<LONG>& channels) {
    std::vector<LONG> selected = channels;
    for (LONG c = 0; channels.empty() && c < m_Layout.channels; ++c) selected.push_back(c);
    std::vector<float> expected;
    for (LONG p = position; p < position + count; ++p)
      for (const LONG c : selected)
        for (std::int64_t k = 0; k < m_Layout.Values(); ++k) expected.push_back(m_Layout.Expected(m_File, p, c, k));
    const ReadResult got =
        ReadBlock(*m_Reader, position, count, channels.empty() ? nullptr : &channels, expected.size());
    ASSERT_EQ(got.result, S_OK);
    EXPECT_TRUE(SameBits(got.values, expected)) << "from " << position << ", count " << count;
  }

  std::mt19937 random{12345};
  TempDir dir;
  std::unique_ptr<CBinaryReader> m_Reader;
  Layout m_Layout;
  std::string m_File;
};

// Every format in every layout, and layouts whose reads cross chunks, segment headers and vectorized
// tiles: whole reads, and random intervals (some past the end) of all channels or random channel lists.
TEST_F(BinaryReaderTest, EveryFormatInEveryLayoutReadsItsBytes) {
  std::vector<Layout> layouts = {
      // 100-point segments with 16-byte headers, several chunks a read; headers larger than a chunk
      {.channels = 64, .points = 5000, .dataOffset = 3, .headerSize = 16, .segmentPoints = 100},
      {.channels = 2, .points = 40, .headerSize = 300000, .segmentPoints = 3},
      // rows wider than a chunk: through a channel list each selected number is fetched alone
      {.format = FORMAT_UINT_16, .channels = 70000, .points = 4},
      {.format = FORMAT_UINT_16, .bigEndian = true, .channels = 140000, .points = 3, .complex = true},
      {.format = FORMAT_ATS_INT_12_PACKED, .channels = 180001, .points = 3},  // odd rows start in a low nibble
      // tiles of 936 points of 70 channels, decoded four channels at a time
      {.format = FORMAT_UINT_16, .bigEndian = true, .multiplexed = false, .channels = 70, .points = 3000},
  };
  for (std::int32_t format : {FORMAT_IEEE_FLOAT_32, FORMAT_INT_16, FORMAT_UINT_16, FORMAT_ATS_INT_12_PACKED})
    for (bool bigEndian : {false, true})
      for (int kind = 0; kind < 4; ++kind) {
        const bool packed = format == FORMAT_ATS_INT_12_PACKED;
        if (packed && (bigEndian || kind >= 2)) continue;
        Layout& layout = layouts.emplace_back(
            Layout{.format = format, .bigEndian = bigEndian, .multiplexed = kind < 2, .channels = 4, .points = 37});
        layout.layers = 2, layout.dataOffset = 7, layout.resolutions = {0.5f, 2.0f, 0.1f};  // channel 3 has none: 1.0
        if (kind == 1 && !packed) layout.complex = true, layout.segmentPoints = 10, layout.headerSize = 5;
        if (kind == 2) layout.channelOffset = 3;
        if (kind == 3) layout.channelOffset = 6, layout.segmentPoints = 12;
        // vectorized, one number a point: whole and partial steps of eight channels and of the points a step takes
        if (!packed && kind == 3)
          layouts.push_back({.format = format,
                             .bigEndian = bigEndian,
                             .multiplexed = false,
                             .channels = 21,
                             .points = 53,
                             .channelOffset = 3,
                             .resolutions = {0.5f, 2.0f, 0.1f}});
      }
  // A damaged store may claim 600 million channels for a short file (no data points): reading some
  // channels costs only those, in every layout.
  for (const int kind : {0, 1, 2})
    for (const std::int32_t segmentPoints : {0, 4}) {
      Layout& huge = layouts.emplace_back(Layout{.multiplexed = kind != 1, .channels = 603979776, .points = 0});
      huge.format = kind == 2 ? FORMAT_ATS_INT_12_PACKED : FORMAT_INT_16;
      huge.headerSize = 2 * segmentPoints, huge.segmentPoints = segmentPoints;
    }
  for (const Layout& layout : layouts) {
    SCOPED_TRACE("layout " + std::to_string(&layout - layouts.data()));
    Open(layout);
    const bool all = layout.channels < 1000000;  // all of 600 million channels would take gigabytes
    if (all) ExpectRead(0, layout.points, {});
    for (int i = 0; i < 40; ++i) {
      const LONG position = LONG(random() % std::uint32_t(layout.points + 5));
      const LONG count = LONG(random() % std::uint32_t(layout.points + 3));
      std::vector<LONG> channels(random() % 5 + 1);
      for (LONG& channel : channels) channel = LONG(random() % std::uint32_t(layout.channels));
      ExpectRead(position, count, i % 3 == 0 && all ? std::vector<LONG>{} : channels);
    }
  }
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

TEST_F(BinaryReaderTest, RefusalsOfOpenAndOfRead) {
  const std::string path = dir.WriteSized("d.bin", 100);
  const std::tuple<Layout, std::string, HRESULT> opens[] = {
      {{}, dir.File("missing.bin"), MakeResult(0x80041001)},
      {{.format = 5}, path, E_FAIL},
      {{.format = FORMAT_ATS_INT_12_PACKED, .multiplexed = false}, path, E_FAIL},
  };
  for (const auto& [layout, file, code] : opens) {
    CBinaryReader reader;
    EXPECT_EQ(layout.Open(reader, file, 0), code) << layout.format;
    EXPECT_EQ(ReadBlock(reader, 0, 1, nullptr, 0).result, code) << layout.format;
  }
  CBinaryReader unopened;
  EXPECT_EQ(ReadBlock(unopened, 0, 1, nullptr, 0).result, E_UNEXPECTED);

  // Bad arguments allocate nothing.
  Open(Layout{});  // 3 channels of 10 points
  const std::vector<LONG> outside = {0, 3}, negative = {-1}, none;
  const std::tuple<LONG, LONG, const std::vector<LONG>*, HRESULT> reads[] = {
      {0, 1, &outside, E_INVALIDARG}, {0, 1, &negative, E_INVALIDARG}, {-1, 1, nullptr, E_INVALIDARG},
      {0, -1, nullptr, E_INVALIDARG}, {0, 0, nullptr, S_OK},           {5, 2, &none, S_OK}};
  for (const auto& [position, count, channels, code] : reads)
    EXPECT_EQ(ReadBlock(*m_Reader, position, count, channels, 0).result, code) << position << " " << count;
  EXPECT_EQ(m_Reader->ReadInterval(0, 1, nullptr, nullptr, 0), E_POINTER);
  float* block = nullptr;
  EXPECT_EQ(m_Reader->ReadInterval(0, 1, &block, outside.data(), -2), E_INVALIDARG);

  const Layout layered{.layers = 1 << 30, .complex = true};
  CBinaryReader huge;
  ASSERT_EQ(layered.Open(huge, dir.WriteSized("h.bin", 10), 1), S_OK);
  EXPECT_EQ(ReadBlock(huge, 0, 1 << 30, nullptr, 0).result, E_INVALIDARG);  // the block size overflows
  EXPECT_EQ(ReadBlock(huge, 0, 64, nullptr, 0).result, E_OUTOFMEMORY);      // 1.5 TB cannot be had
}

}  // namespace
