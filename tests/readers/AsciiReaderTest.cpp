#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>

#include "readers/AsciiReader.h"
#include "readers/ReaderTestSupport.h"
#include "support/TempDir.h"

namespace {

struct AsciiLayout {
  std::int32_t channels = 2, points = 3, layers = 1;
  bool complex = false, multiplexed = true;
  char decimal = '.';
  std::int32_t skipLines = 0, skipColumns = 0;
  std::vector<float> resolutions;
  std::int64_t Values() const { return (complex ? 2 : 1) * std::int64_t(layers); }
};

class AsciiReaderTest : public ::testing::Test {
 protected:
  HRESULT Open(const AsciiLayout& layout, std::string_view text) {
    m_Layout = layout;
    m_Text = text;
    reader = std::make_unique<CASCIIReader>();
    return reader->Open(dir.Write("data.txt", text), layout.channels, layout.points, layout.multiplexed,
                        layout.resolutions, layout.complex, layout.layers, layout.decimal, layout.skipLines,
                        layout.skipColumns);
  }
  ReadResult Read(LONG position, LONG count, const std::vector<LONG>* channels = nullptr) {
    const std::size_t selected = channels ? channels->size() : std::size_t(m_Layout.channels);
    return ReadBlock(*reader, position, count, channels,
                     std::size_t(count) * selected * std::size_t(m_Layout.Values()));
  }

  // A straightforward reading of the same text: every number of the stream, then the block by the
  // placement rules, or nothing when the stream is too short.
  std::optional<std::vector<float>> Reference(LONG position, LONG count, const std::vector<LONG>& channels) const {
    std::vector<std::string> lines;
    std::string line;
    for (char c : m_Text) {
      if (c == '\r' || c == '\n') {
        if (!line.empty()) lines.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    if (!line.empty()) lines.push_back(line);
    std::vector<float> stream;
    for (std::size_t i = std::size_t(m_Layout.skipLines); i < lines.size(); ++i) {
      std::string text = lines[i];
      if (m_Layout.decimal == ',') std::replace(text.begin(), text.end(), ',', '.');
      auto separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; };
      auto numeric = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || std::strchr(".-+eE", c); };
      std::size_t at = 0;
      bool skippedAll = true;
      for (int column = 0; column < m_Layout.skipColumns; ++column) {
        while (at < text.size() && separator(text[at])) ++at;
        if (at == text.size()) skippedAll = false;
        while (at < text.size() && !separator(text[at])) ++at;
      }
      if (!skippedAll) continue;
      while (at < text.size()) {
        if (!numeric(text[at])) {
          ++at;
          continue;
        }
        std::size_t end = at;
        while (end < text.size() && numeric(text[end])) ++end;
        stream.push_back(float(std::atof(text.substr(at, end - at).c_str())));
        at = end;
      }
    }
    const std::size_t n = std::size_t(m_Layout.channels), v = std::size_t(m_Layout.Values()),
                      p = std::size_t(m_Layout.points);
    std::vector<float> block;
    for (LONG t = position; t < position + count; ++t)
      for (LONG c : channels)
        for (std::size_t k = 0; k < v; ++k) {
          std::size_t g;
          if (m_Layout.multiplexed) {
            g = (std::size_t(t) * n + std::size_t(c)) * v + k;
            if (std::size_t(position + count) * n * v > stream.size()) return std::nullopt;
          } else {
            g = (std::size_t(c) * p + std::size_t(t)) * v + k;
            if (v * ((n - 1) * p + std::size_t(position + count)) > stream.size()) return std::nullopt;
            if (std::size_t(t) >= p) g = stream.size();  // no number is placed beyond P
          }
          const float resolution =
              std::size_t(c) < m_Layout.resolutions.size() ? m_Layout.resolutions[std::size_t(c)] : 1.0f;
          block.push_back(g < stream.size() ? resolution * stream[g] : 0.0f);
        }
    return block;
  }

  // `reads` reads at random positions below `positions`, of fewer than `counts` points, of 1 to
  // `mostChannels` random channels: each gives what Reference gives, or its refusal when the stream
  // is too short.
  void ExpectRandomReadsMatchReference(std::mt19937& random, int reads, LONG positions, LONG counts,
                                       std::size_t mostChannels) {
    const char* orientation = m_Layout.multiplexed ? "multiplexed " : "vectorized ";
    for (int i = 0; i < reads; ++i) {
      const LONG position = LONG(random() % positions);
      const LONG count = LONG(random() % counts);
      std::vector<LONG> channels(random() % mostChannels + 1);
      for (LONG& channel : channels) channel = LONG(random() % std::uint32_t(m_Layout.channels));
      const ReadResult read = Read(position, count, &channels);
      const std::optional<std::vector<float>> expected = Reference(position, count, channels);
      if (!expected) {
        EXPECT_EQ(read.result, MakeResult(0x8004100E)) << orientation << position << " " << count;
        continue;
      }
      ASSERT_EQ(read.result, S_OK) << orientation << position << " " << count;
      EXPECT_EQ(read.values, *expected) << orientation << position << " " << count;
    }
  }

  TempDir dir;
  std::unique_ptr<CASCIIReader> reader;
  AsciiLayout m_Layout;
  std::string m_Text;
};

TEST_F(AsciiReaderTest, TextRulesOfALine) {
  AsciiLayout layout;
  ASSERT_EQ(Open(layout, ""), S_OK);
  std::vector<float> numbers;
  reader->ParseLine("1e-3 1-2 3.5 mV -  e .5", numbers);
  EXPECT_EQ(numbers, (std::vector<float>{0.001f, 1, 3.5f, 0, 0, 0.5f}));
  reader->ParseLine("Fp1 10 20 30", numbers);
  EXPECT_EQ(numbers, (std::vector<float>{1, 10, 20, 30}));
  layout.skipColumns = 1;
  ASSERT_EQ(Open(layout, ""), S_OK);
  reader->ParseLine("Fp1 10 20 30", numbers);
  EXPECT_EQ(numbers, (std::vector<float>{10, 20, 30}));
  reader->ParseLine("  ;Fp1", numbers);
  EXPECT_TRUE(numbers.empty());

  // Odd runs: the longest decimal prefix as a double, rounded once to float32.
  ASSERT_EQ(Open(AsciiLayout{}, ""), S_OK);
  constexpr float kMax = std::numeric_limits<float>::max(), kInf = std::numeric_limits<float>::infinity();
  const std::pair<const char*, float> runs[] = {{"+-5", 0},
                                                {"1e5e3", 1e5f},
                                                {".", 0},
                                                {"5e", 5},
                                                {"1e39", kInf},
                                                {"-1e39", -kInf},

                                                {"3.4028235e38", kMax},
                                                {"-3.4028235e38", -kMax},
                                                {"3.40282357e38", kInf},
                                                {"0.1", 0.1f}};
  for (const auto& [run, value] : runs) {
    reader->ParseLine(run, numbers);
    EXPECT_EQ(numbers, std::vector<float>{value}) << run;
  }

  // The decimal symbol applies to ParseLine as to every read.
  layout = AsciiLayout{};
  layout.decimal = ',';
  ASSERT_EQ(Open(layout, ""), S_OK);
  reader->ParseLine("1,5;-2,25", numbers);
  EXPECT_EQ(numbers, (std::vector<float>{1.5f, -2.25f}));
}

TEST_F(AsciiReaderTest, DecimalCommaAndScaling) {
  AsciiLayout layout;
  layout.decimal = ',';
  layout.points = 1;
  layout.resolutions = {2.0f, 0.5f};
  ASSERT_EQ(Open(layout, "1,5;-2,25\n"), S_OK);
  EXPECT_EQ(Read(0, 1).values, (std::vector<float>{3.0f, -1.125f}));
}

TEST_F(AsciiReaderTest, MultiplexedLinesCarryNoMeaning) {
  AsciiLayout layout;
  ASSERT_EQ(Open(layout, "1 2\n3 4\n5 6\n"), S_OK);
  EXPECT_EQ(Read(1, 2).values, (std::vector<float>{3, 4, 5, 6}));
  ASSERT_EQ(Open(layout, "1 2 3\r\n\r\n4 5 6"), S_OK);
  EXPECT_EQ(Read(1, 2).values, (std::vector<float>{3, 4, 5, 6}));
  const std::vector<LONG> swapped = {1, 0, 1};
  EXPECT_EQ(Read(0, 1, &swapped).values, (std::vector<float>{2, 1, 2}));
  EXPECT_EQ(Read(2, 2).result, MakeResult(0x8004100E));  // the lines run out
}

TEST_F(AsciiReaderTest, VectorizedPlacement) {
  AsciiLayout layout;
  layout.multiplexed = false;
  ASSERT_EQ(Open(layout, "1 2 3\n4 5 6\n"), S_OK);
  EXPECT_EQ(Read(1, 2).values, (std::vector<float>{2, 5, 3, 6}));
  // The last channel one number short: every read that needs its end fails.
  ASSERT_EQ(Open(layout, "1 2 3\n4 5\n"), S_OK);
  EXPECT_EQ(Read(0, 2).values, (std::vector<float>{1, 4, 2, 5}));
  EXPECT_EQ(Read(2, 1).result, MakeResult(0x8004100E));
  EXPECT_EQ(Read(0, 3).result, MakeResult(0x8004100E));
}

TEST_F(AsciiReaderTest, SkippedLinesAndColumns) {
  AsciiLayout layout;
  layout.skipLines = 2;
  layout.skipColumns = 1;
  layout.complex = true;
  layout.points = 2;
  ASSERT_EQ(Open(layout, "Title 1\n\nt Fp1 re im\n0.000 1 2 3 4\n0.001 5 6 7 8\n"), S_OK);
  EXPECT_EQ(Read(0, 2).values, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));
  const std::vector<LONG> second = {1};
  EXPECT_EQ(Read(1, 1, &second).values, (std::vector<float>{7, 8}));
}

TEST_F(AsciiReaderTest, FailuresAndArguments) {
  AsciiLayout layout;
  reader = std::make_unique<CASCIIReader>();
  EXPECT_EQ(reader->Open(dir.File("missing.txt"), 2, 3, true, {}, false, 1, '.', 0, 0), MakeResult(0x8004100E));
  EXPECT_EQ(ReadBlock(*reader, 0, 1, nullptr, 0).result, MakeResult(0x8004100E));
  ASSERT_EQ(Open(layout, "1 2\n"), S_OK);
  const std::vector<LONG> outside = {2};
  EXPECT_EQ(Read(0, 1, &outside).result, E_INVALIDARG);
  EXPECT_EQ(Read(0, 0).result, S_OK);
  EXPECT_EQ(Read(9, 0).result, S_OK);
}

// A damaged store may claim 600 million channels for a short text: reading one channel needs no
// room for the others, and the text decides.
TEST_F(AsciiReaderTest, AHugeChannelCountCostsOnlyTheSelectedChannels) {
  AsciiLayout layout;
  layout.channels = 603979776;
  layout.points = 0;
  ASSERT_EQ(Open(layout, "1 2 3 4 5 6 7 8 9 10 11 12\n"), S_OK);
  const std::vector<LONG> first = {0};
  EXPECT_EQ(Read(0, 10, &first).result, MakeResult(0x8004100E));  // multiplexed: the text runs out
  layout.multiplexed = false;
  ASSERT_EQ(Open(layout, "1 2 3 4 5 6 7 8 9 10 11 12\n"), S_OK);
  const ReadResult beyond = Read(0, 10, &first);  // vectorized: no data points, so zeros
  EXPECT_EQ(beyond.result, S_OK);
  EXPECT_EQ(beyond.values, std::vector<float>(10, 0.0f));
}

TEST_F(AsciiReaderTest, PagingGivesWhatAFullParseGives) {
  std::mt19937 random(7);
  for (bool multiplexed : {true, false}) {
    AsciiLayout layout;
    layout.multiplexed = multiplexed;
    layout.channels = 3;
    layout.points = 200;
    layout.layers = 2;
    layout.skipLines = 1;
    layout.skipColumns = 1;
    layout.decimal = ',';
    layout.resolutions = {1.0f, 0.5f, 3.0f};
    std::string text = "time values\n";
    const std::int64_t numbers = 3 * 200 * 2;
    for (std::int64_t g = 0; g < numbers;) {
      text.append("t").append(std::to_string(g));
      for (std::uint32_t i = random() % 7; i > 0 && g < numbers; --i, ++g)
        text.append(random() % 2 ? " " : ";")
            .append(std::to_string(int(random() % 2000) - 1000))
            .append(",")
            .append(std::to_string(random() % 100))
            .append(random() % 5 ? "" : "e-1");
      text += random() % 4 ? "\n" : "\r\n\r\n";
    }
    ASSERT_EQ(Open(layout, text), S_OK);
    ExpectRandomReadsMatchReference(random, 200, 210, 60, 4);
  }
}

TEST_F(AsciiReaderTest, AReadStartsNearItsFirstNumberAndStopsBehindItsLast) {
  // One line of 100000 numbers: a read of 10 passes over at most the index's step before them.
  std::string text;
  for (int i = 0; i < 100000; ++i) text.append(std::to_string(i)).append(" ");
  AsciiLayout layout;
  layout.channels = 1;
  layout.points = 100000;
  ASSERT_EQ(Open(layout, text), S_OK);
  for (LONG position : {0, 50000, 99990}) {
    const std::uint64_t before = reader->NumbersWalked();
    const ReadResult read = Read(position, 10);
    ASSERT_EQ(read.result, S_OK);
    EXPECT_EQ(read.values.front(), float(position));
    EXPECT_EQ(read.values.back(), float(position + 9));
    EXPECT_LE(reader->NumbersWalked() - before, 4096u + 10u) << position;
  }
}

TEST_F(AsciiReaderTest, ReadsFromIndexedNumbersGiveWhatAFullParseGives) {
  // Long and short lines, skipped columns and blank lines around the indexed numbers.
  std::mt19937 random(11);
  for (bool multiplexed : {true, false}) {
    AsciiLayout layout;
    layout.multiplexed = multiplexed;
    layout.channels = 3;
    layout.points = 7000;
    layout.skipLines = 1;
    layout.skipColumns = 1;
    std::string text = "title 1 2 3\n";
    for (std::int64_t g = 0; g < 3 * 7000;) {
      text.append("t1");
      for (std::uint32_t i = random() % 2 ? random() % 9000 : random() % 5; i > 0 && g < 3 * 7000; --i, ++g)
        text.append(random() % 2 ? " " : ";").append(std::to_string(random() % 1000));
      text += random() % 4 ? "\n" : "\r\n\r\n";
    }
    ASSERT_EQ(Open(layout, text), S_OK);
    ExpectRandomReadsMatchReference(random, 40, 7100, 300, 2);
  }
}

}  // namespace
