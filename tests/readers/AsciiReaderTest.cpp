#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>

#include "readers/AsciiReader.h"
#include "readers/ReaderTestSupport.h"
#include "support/TempDir.h"

namespace {

struct AsciiLayout {
  std::int32_t channels = 1, points = 0, layers = 1;
  bool complex = false, multiplexed = true;
  char decimal = '.';
  std::int32_t skipLines = 0, skipColumns = 0;
  std::vector<float> resolutions = {};
  std::size_t Values() const { return (complex ? 2 : 1) * std::size_t(layers); }
};

class AsciiReaderTest : public ::testing::Test {
 protected:
  HRESULT Open(const AsciiLayout& layout, std::string_view text) {
    m_Layout = layout;
    reader = std::make_unique<CASCIIReader>();
    return reader->Open(dir.Write("data.txt", text), layout.channels, layout.points, layout.multiplexed,
                        layout.resolutions, layout.complex, layout.layers, layout.decimal, layout.skipLines,
                        layout.skipColumns);
  }
  ReadResult Read(LONG position, LONG count, const std::vector<LONG>* channels = nullptr) {
    const std::size_t selected = channels ? channels->size() : std::size_t(m_Layout.channels);
    return ReadBlock(*reader, position, count, channels, std::size_t(count) * selected * m_Layout.Values());
  }

  // The block of a read when the data lines hold the numbers of `stream`, placed by the orientation;
  // nothing when the stream is too short.
  std::optional<std::vector<float>> Placed(const std::vector<float>& stream, LONG position, LONG count,
                                           const std::vector<LONG>& channels) const {
    const std::size_t n = std::size_t(m_Layout.channels), v = m_Layout.Values(), p = std::size_t(m_Layout.points),
                      end = std::size_t(position + count);
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
  AsciiLayout m_Layout;
};

// A damaged store may claim 600 million channels for a short text: reading one channel needs no
// room for the others, and the text decides.
TEST_F(AsciiReaderTest, AHugeChannelCountCostsOnlyTheSelectedChannels) {
  const std::vector<LONG> first = {0};
  for (const bool multiplexed : {true, false}) {  // the text runs out; vectorized, no data points: zeros
    ASSERT_EQ(Open({.channels = 603979776, .multiplexed = multiplexed}, "1 2 3 4 5 6 7 8 9 10 11 12\n"), S_OK);
    EXPECT_EQ(Read(0, 10, &first).result, multiplexed ? MakeResult(0x8004100E) : S_OK);
    EXPECT_EQ(Read(0, 10, &first).values, std::vector<float>(multiplexed ? 0 : 10, 0.0f));
  }
}

// Random numbers, words and odd runs (read as their longest decimal prefix) in lines of random length,
// behind skipped lines (a blank one does not count) and a time column, a few numbers short of or beyond
// the layout's: random reads give the numbers placed by the layout, or the refusal when they run out,
// each starting at most the index's step before its first number and stopping behind its last.
TEST_F(AsciiReaderTest, RandomReadsGiveTheNumbersWrittenAsTheLayoutPlacesThem) {
  // the layout; the longest line, the reads, and their most points and channels
  const std::tuple<AsciiLayout, std::uint32_t, int, std::uint32_t, std::uint32_t> shapes[] = {
      {{.channels = 3, .points = 200, .layers = 2, .decimal = ',', .resolutions = {0.5f, 3.0f}}, 7, 200, 60, 4},
      {{.channels = 3, .points = 7000, .complex = true}, 9000, 40, 300, 2},  // lines longer than the index's step
  };
  const std::pair<std::string, std::optional<float>> odd[] = {{"mV", {}}, {"Fp1", 1}, {"-", 0},        {"e", 0},
                                                              {"1-2", 1}, {"+-5", 0}, {"1e-3", 0.001f}};
  std::mt19937 random(7);
  for (const auto& [shape, longestLine, reads, counts, mostChannels] : shapes)
    for (const bool multiplexed : {true, false}) {
      AsciiLayout layout = shape;
      layout.multiplexed = multiplexed, layout.skipLines = 2, layout.skipColumns = 1;
      const std::size_t n = std::size_t(layout.channels), v = layout.Values(), row = multiplexed ? n * v : v;
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
        const std::uint64_t runs = multiplexed ? 1 : channels.size(), span = layout.Values() * std::size_t(count);
        EXPECT_LE(reader->NumbersWalked() - walked, runs * (4096 + (multiplexed ? n : 1) * span));
      }
    }
}

}  // namespace
