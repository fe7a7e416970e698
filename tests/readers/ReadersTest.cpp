// The readers against independent models of their files: a binary layout's bytes read by the test's own
// arithmetic, ASCII numbers as written; refusals, and data files that change under an open reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "header/HeaderCodes.h"
#include "platform/ComRuntime.h"
#include "readers/AsciiReader.h"
#include "readers/BinaryReader.h"
#include "readers/TwelveBit.h"
#include "support/TempDir.h"

namespace {

struct ReadResult {
  HRESULT result;
  std::vector<float> values;
};

// A read's result and block of `floats` floats; a failed read leaves no block.
ReadResult ReadBlock(CIntervalReader& reader, LONG position, LONG count, const std::vector<LONG>* channels,
                     std::size_t floats) {
  float* block = reinterpret_cast<float*>(std::uintptr_t(1));  // must be overwritten
  const HRESULT result = reader.ReadInterval(position, count, &block, channels ? channels->data() : nullptr,
                                             channels ? LONG(channels->size()) : 0);
  EXPECT_EQ(block == nullptr, FAILED(result)) << std::hex << result;
  if (FAILED(result)) return {result, {}};
  ReadResult read{result, std::vector<float>(block, block + floats)};
  CoTaskMemFree(block);
  return read;
}

// Floats compared bit for bit: NaNs and signed zeros too.
bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

struct Layout {
  std::int32_t format = FORMAT_INT_16;
  bool bigEndian = false;
  bool multiplexed = true;
  std::int32_t channels = 3, points = 10, layers = 1;
  bool complex = false;
  std::int32_t dataOffset = 0, channelOffset = 0, headerSize = 0, segmentPoints = 0;
  std::vector<float> resolutions = {};
  char decimal = '.';  // ASCII layouts only
  std::int32_t skipLines = 0, skipColumns = 0;

  std::int64_t Values() const { return (complex ? 2 : 1) * std::int64_t(layers); }
  std::int64_t NumberSize() const { return format == FORMAT_IEEE_FLOAT_32 ? 4 : 2; }

  // Byte position of number k of channel c at point t (not for packed data).
  std::int64_t Position(std::int64_t t, std::int64_t c, std::int64_t k) const {
    const std::int64_t b = NumberSize() * Values(), s = NumberSize(), row = channels * b;
    if (multiplexed) {
      const std::int64_t headers = segmentPoints > 0 ? (t / segmentPoints + 1) * headerSize : 0;
      return dataOffset + headers + t * row + c * b + k * s;
    }
    if (segmentPoints > 0) return dataOffset + channelOffset + c * points * b + t * b + k * s;
    return dataOffset + channelOffset + c * (points * b + channelOffset) + t * b + k * s;
  }

  // A file of random bytes: offsets, headers and numbers alike, and 64 bytes behind the last number
  // (a reader that counted the points from the file's size would place vectorized channels elsewhere).
  std::string Write(std::mt19937& random) const {
    const std::int64_t size = format == FORMAT_ATS_INT_12_PACKED
                                  ? dataOffset + (3 * std::int64_t(points) * channels * Values() + 1) / 2
                                  : Position(points - 1, channels - 1, Values() - 1) + NumberSize();
    std::string bytes(std::size_t(std::max<std::int64_t>(size, 0) + 64), '\0');
    for (char& byte : bytes) byte = char(random());
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
    if (format == FORMAT_IEEE_FLOAT_32) return std::bit_cast<float>(in) * resolution;
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
        if (!packed && kind == 3) {
          Layout narrow = layout;
          narrow.channels = 21, narrow.points = 53, narrow.layers = 1, narrow.dataOffset = 0, narrow.segmentPoints = 0;
          layouts.push_back(narrow);
        }
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

// The shuffle unpackers (where the processor has them) against the plain one, at every start parity
// and length, on a buffer that ends exactly after the last number; unscaled, and scaled with a period
// that is no multiple of their steps, from a place within it.
TEST(TwelveBitTest, UnpackersAgree) {
  std::mt19937 random(99);
  std::vector<float> repeated(7 + 16);
  for (std::size_t i = 0; i < repeated.size(); ++i) repeated[i] = float(i % 7 + 1) * 0.5f;
  const TwelveBitScales scales{repeated.data(), 7, 3};
  for (std::size_t numbers = 0; numbers < 70; ++numbers)
    for (const bool odd : {false, true}) {
      const std::size_t bytes = (3 * (numbers + (odd ? 1 : 0)) + 1) / 2 - (odd ? 1 : 0);
      std::vector<std::uint8_t> packed(bytes);
      for (std::uint8_t& byte : packed) byte = std::uint8_t(random());
      std::vector<float> plain(numbers), chosen(numbers), scaled(numbers), chosenScaled(numbers);
      UnpackTwelveBitScalar(packed.data(), odd, numbers, plain.data());
      ChooseTwelveBitUnpacker()(packed.data(), odd, numbers, chosen.data(), nullptr);
      UnpackTwelveBitScalar(packed.data(), odd, numbers, scaled.data(), &scales);
      ChooseTwelveBitUnpacker()(packed.data(), odd, numbers, chosenScaled.data(), &scales);
      EXPECT_EQ(plain, chosen) << numbers << (odd ? " odd" : " even");
      for (std::size_t n = 0; n < numbers; ++n) plain[n] *= repeated[(3 + n) % 7];
      EXPECT_EQ(plain, scaled) << numbers << (odd ? " odd" : " even");
      EXPECT_EQ(plain, chosenScaled) << numbers << (odd ? " odd" : " even");
    }
}

// The binary reader's refusals of open and of read, and the ASCII reader's of a folder.
TEST_F(BinaryReaderTest, RefusalsOfOpenAndOfRead) {
  const std::string path = dir.WriteSized("d.bin", 100);
  const std::tuple<Layout, std::string, HRESULT> opens[] = {
      {{}, dir.File("missing.bin"), MakeResult(0x80041001)},
      {{}, dir.Path().string(), MakeResult(0x80041001)},  // a folder
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
  CASCIIReader ascii;
  EXPECT_EQ(ascii.Open(dir.Path().string(), 2, 10, true, {}, false, 1, '.', 0, 0), MakeResult(0x8004100E));
  EXPECT_EQ(ReadBlock(ascii, 0, 1, nullptr, 0).result, MakeResult(0x8004100E));

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

class AsciiReaderTest : public ::testing::Test {
 protected:
  HRESULT Open(const Layout& layout, std::string_view text) {
    m_Layout = layout;
    reader = std::make_unique<CASCIIReader>();
    return reader->Open(dir.Write("data.txt", text), layout.channels, layout.points, layout.multiplexed,
                        layout.resolutions, layout.complex, layout.layers, layout.decimal, layout.skipLines,
                        layout.skipColumns);
  }
  ReadResult Read(LONG position, LONG count, const std::vector<LONG>* channels = nullptr) {
    const std::size_t selected = channels ? channels->size() : std::size_t(m_Layout.channels);
    return ReadBlock(*reader, position, count, channels, std::size_t(count * m_Layout.Values()) * selected);
  }

  // The block of a read when the data lines hold the numbers of `stream`, placed by the orientation;
  // nothing when the stream is too short.
  std::optional<std::vector<float>> Placed(const std::vector<float>& stream, LONG position, LONG count,
                                           const std::vector<LONG>& channels) const {
    const std::size_t n = std::size_t(m_Layout.channels), v = std::size_t(m_Layout.Values()),
                      p = std::size_t(m_Layout.points), end = std::size_t(position + count);
    if (count > 0 && (m_Layout.multiplexed ? end * n : (n - 1) * p + end) * v > stream.size()) return std::nullopt;
    std::vector<float> block;
    for (std::size_t t = std::size_t(position); t < end; ++t)
      for (const LONG c : channels)
        for (std::size_t k = 0; k < v; ++k) {
          const std::size_t g = m_Layout.multiplexed ? (t * n + std::size_t(c)) * v + k : (c * p + t) * v + k;
          const float resolution =
              std::size_t(c) < m_Layout.resolutions.size() ? m_Layout.resolutions[std::size_t(c)] : 1.0f;
          block.push_back(m_Layout.multiplexed || t < p ? resolution * stream[g] : 0.0f);  // none beyond P
        }
    return block;
  }

  TempDir dir;
  std::unique_ptr<CASCIIReader> reader;
  Layout m_Layout;
};

// A damaged store may claim 600 million channels for a short text: reading one channel needs no
// room for the others, and the text decides.
TEST_F(AsciiReaderTest, AHugeChannelCountCostsOnlyTheSelectedChannels) {
  const std::vector<LONG> first = {0};
  for (const bool multiplexed : {true, false}) {  // the text runs out; vectorized, no data points: zeros
    ASSERT_EQ(Open({.multiplexed = multiplexed, .channels = 603979776, .points = 0}, "1 2 3 4 5 6 7 8 9 10 11 12\n"),
              S_OK);
    EXPECT_EQ(Read(0, 10, &first).result, multiplexed ? MakeResult(0x8004100E) : S_OK);
    EXPECT_EQ(Read(0, 10, &first).values, std::vector<float>(multiplexed ? 0 : 10, 0.0f));
  }
}

// Odd runs read as their longest decimal prefix, as a double rounded once to float: in a read of all
// channels (each run read as the walk passes it), through a channel list (each selected run alone)
// and by ParseLine.
TEST_F(AsciiReaderTest, OddRunsReadAsTheirDecimalPrefix) {
  const float kMax = std::numeric_limits<float>::max(), kInf = std::numeric_limits<float>::infinity();
  const std::pair<std::string, float> runs[] = {
      {"+-5", 0.0f},          {"1e5e3", 1e5f},  {".", 0.0f},         {"5e", 5.0f},
      {"1e39", kInf},         {"-1e39", -kInf}, {"-0", -0.0f},       {"3.4028235e38", kMax},
      {"3.4028236e38", kInf}, {"1e-46", 0.0f},  {"0.1", float(0.1)}, {"12345678901234567", float(12345678901234567.0)}};
  std::string line;
  std::vector<float> expected;
  std::vector<LONG> all;
  for (const auto& [run, value] : runs) {
    line += run + " ";
    expected.push_back(value);
    all.push_back(LONG(all.size()));
  }
  ASSERT_EQ(Open({.channels = std::int32_t(all.size()), .points = 1}, line + "\n"), S_OK);
  EXPECT_TRUE(SameBits(Read(0, 1).values, expected));
  EXPECT_TRUE(SameBits(Read(0, 1, &all).values, expected));
  std::vector<float> parsed;
  reader->ParseLine(line, parsed);  // a line on its own, as the reader's own parse gives it
  EXPECT_TRUE(SameBits(parsed, expected));
}

// Random numbers, words and odd runs (read as their longest decimal prefix) in lines of random length,
// behind skipped lines (a blank one does not count) and a time column, a few numbers short of or beyond
// the layout's: random reads give the numbers placed by the layout, or the refusal when they run out,
// each starting at most the index's step before its first number and stopping behind its last.
TEST_F(AsciiReaderTest, RandomReadsGiveTheNumbersWrittenAsTheLayoutPlacesThem) {
  // the layout; the longest line, the reads, and their most points and channels
  const std::tuple<Layout, std::uint32_t, int, std::uint32_t, std::uint32_t> shapes[] = {
      {{.channels = 3, .points = 200, .layers = 2, .resolutions = {0.5f, 3.0f}, .decimal = ','}, 7, 200, 60, 4},
      {{.channels = 3, .points = 7000, .complex = true}, 9000, 40, 300, 2},  // lines longer than the index's step
  };
  const std::pair<std::string, std::optional<float>> odd[] = {{"mV", {}}, {"Fp1", 1}, {"-", 0},        {"e", 0},
                                                              {"1-2", 1}, {"+-5", 0}, {"1e-3", 0.001f}};
  std::mt19937 random(7);
  for (const auto& [shape, longestLine, reads, counts, mostChannels] : shapes)
    for (const bool multiplexed : {true, false}) {
      Layout layout = shape;
      layout.multiplexed = multiplexed, layout.skipLines = 2, layout.skipColumns = 1;
      const std::size_t n = std::size_t(layout.channels), v = std::size_t(layout.Values()),
                        row = multiplexed ? n * v : v;
      const std::size_t numbers = (n * std::size_t(layout.points) * v - 20 + random() % 40) / row * row;
      std::string text = "title 1\r\n\r\nt E1 E2 E3\n";
      std::vector<float> stream;
      while (stream.size() < numbers) {
        text.append("t").append(std::to_string(stream.size()));
        for (std::uint32_t i = random() % 2 ? random() % longestLine : random() % 5; i && stream.size() < numbers;
             --i) {
          std::string number = std::to_string(int(random() % 2000) - 1000) + "." + std::to_string(random() % 100) +
                               (random() % 5 ? "" : "e-1");
          std::optional<float> value = float(std::strtod(number.c_str(), nullptr));
          if (random() % 8 == 0) std::tie(number, value) = odd[random() % 7];
          if (value) stream.push_back(*value);
          std::replace(number.begin(), number.end(), '.', layout.decimal);
          text.append(std::string(" ;\t,").substr(random() % (layout.decimal == ',' ? 3 : 4), 1)).append(number);
        }
        text += random() % 4 ? "\n" : "\r\n\r\n";
      }
      ASSERT_EQ(Open(layout, text), S_OK);
      for (int i = 0; i < reads; ++i) {
        // The first read ends with the stream's last number.
        const LONG last = LONG(multiplexed ? numbers / row : numbers / v - (n - 1) * std::size_t(layout.points));
        const LONG position = i == 0 ? 0 : LONG(random() % std::uint32_t(layout.points + 10));
        const LONG count = i == 0 ? last : LONG(random() % counts);
        std::vector<LONG> channels(random() % mostChannels + 1);
        for (LONG& channel : channels) channel = LONG(random() % 3);
        if (i % 4 == 0) channels = {0, 1, 2};  // read as all channels
        const std::uint64_t walked = reader->NumbersWalked();
        const ReadResult read = Read(position, count, i % 4 == 0 ? nullptr : &channels);
        const std::optional<std::vector<float>> expected = Placed(stream, position, count, channels);
        SCOPED_TRACE((multiplexed ? "multiplexed " : "vectorized ") + std::to_string(position) + " " +
                     std::to_string(count));
        ASSERT_EQ(read.result, expected ? S_OK : MakeResult(0x8004100E));
        if (!expected) continue;
        EXPECT_EQ(read.values, *expected);
        const std::uint64_t runs = multiplexed ? 1 : channels.size(), span = std::size_t(layout.Values() * count);
        EXPECT_LE(reader->NumbersWalked() - walked, runs * (4096 + (multiplexed ? n : 1) * span));
      }
    }
}

// The data file changes under an open reader.
#if defined(_WIN32)
TEST(FileSystemFaults, AnOpenDataFileKeepsWritersOut) {
  TempDir dir;
  const std::string path = dir.Write("d.bin", std::string(80, '\1'));
  CBinaryReader reader;
  ASSERT_EQ(Layout{.channels = 2}.Open(reader, path, 0), S_OK);
  std::error_code error;
  std::filesystem::resize_file(path, 6, error);
  EXPECT_TRUE(error);
  EXPECT_EQ(std::filesystem::file_size(path), 80u);
}
#else
// Pages that a shrinking file no longer has are never touched (they would fault): both orientations
// read the bytes left and zeros beyond them, also once the file is removed. ASCII text left is read as
// it was, and the numbers beyond it are gone.
TEST(FileSystemFaults, ADataFileThatShrinksOrVanishesReadsWhatIsLeft) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 6144; ++i) bytes += std::string({char(i % 100 + 1), 0});
  for (const bool multiplexed : {true, false}) {
    const std::int32_t channels = multiplexed ? 2 : 1;  // a multiplexed row cut in the middle
    const std::string path = dir.Write("d.bin", bytes);
    CBinaryReader reader;
    ASSERT_EQ((Layout{.multiplexed = multiplexed, .channels = channels}.Open(reader, path, 0)), S_OK);
    std::filesystem::resize_file(path, 4096);
    EXPECT_EQ(ReadBlock(reader, 2046 / channels, 4 / channels, nullptr, 4).values, (std::vector<float>{47, 48, 0, 0}));
    std::filesystem::resize_file(path, 6);  // three numbers are left
    EXPECT_EQ(ReadBlock(reader, 0, 4 / channels, nullptr, 4).values, (std::vector<float>{1, 2, 3, 0}));
    std::filesystem::remove(path);  // the open file stays readable until the reader closes it
    EXPECT_EQ(ReadBlock(reader, 0, 4 / channels, nullptr, 4).values, (std::vector<float>{1, 2, 3, 0}));
  }
  std::string text;
  for (int i = 1000; i < 3000; ++i) text += std::to_string(i) + "\n";
  const std::string path = dir.Write("d.txt", text);
  CASCIIReader reader;
  ASSERT_EQ(reader.Open(path, 1, 2000, true, {}, false, 1, '.', 0, 0), S_OK);
  ASSERT_EQ(ReadBlock(reader, 0, 1, nullptr, 1).result, S_OK);
  std::filesystem::resize_file(path, 4096);
  EXPECT_EQ(ReadBlock(reader, 817, 2, nullptr, 2).values, (std::vector<float>{1817, 1818}));
  EXPECT_EQ(ReadBlock(reader, 1990, 2, nullptr, 2).result, GDR_E_FILE);  // the lines run out
}

// A pseudo-file reports 0 bytes and delivers more: nothing past the size at Open is read.
TEST(FileSystemFaults, NoBytePastTheSizeAtOpenIsRead) {
  CBinaryReader reader;
  ASSERT_EQ(Layout{.channels = 1}.Open(reader, "/proc/self/environ", 64), S_OK);
  EXPECT_EQ(ReadBlock(reader, 0, 64, nullptr, 64).values, std::vector<float>(64, 0.0f));
}

TEST(FileSystemFaults, ADataFileRewrittenInPlaceReadsWithItsNewBytes) {
  const Layout layouts[] = {{},
                            {.multiplexed = false},
                            {.format = FORMAT_UINT_16, .multiplexed = false},
                            {.format = FORMAT_IEEE_FLOAT_32, .multiplexed = false},
                            {.multiplexed = false, .headerSize = 4, .segmentPoints = 8},
                            {.format = FORMAT_ATS_INT_12_PACKED}};
  TempDir dir;
  const std::string path = dir.File("d.bin");
  std::mt19937 random(3);
  // Random bytes, the same number each time, with a modification time that shows however coarse the clock is.
  auto rewrite = [&](std::time_t seconds) {
    dir.Write("d.bin", Layout{.points = 700}.Write(random));
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  for (const Layout& layout : layouts) {
    rewrite(1'000'000'000);
    CBinaryReader reader, fresh;
    ASSERT_EQ(layout.Open(reader, path, 0), S_OK);
    const std::vector<float> before = ReadBlock(reader, 0, 64, nullptr, 192).values;
    rewrite(1'000'000'001);
    ASSERT_EQ(layout.Open(fresh, path, 0), S_OK);
    const std::vector<float> expected = ReadBlock(fresh, 0, 64, nullptr, 192).values;
    EXPECT_FALSE(SameBits(before, expected)) << layout.format;
    EXPECT_TRUE(SameBits(ReadBlock(reader, 0, 64, nullptr, 192).values, expected)) << layout.format;
  }
}
#endif

}  // namespace
