// gdr::Recording as a program uses it: the public header and the installed library only.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "contract/ResultCodes.h"
#include "gdr/Recording.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono;

constexpr int kPoints = 400000;  // more than one chunk of a read holds

constexpr float kResolutions[] = {0.5f, 1.0f, 0.25f};
// The stored number of a channel at a point, and its value.
std::int16_t Stored(std::int64_t point, int channel) {
  return std::int16_t((point * 7 + channel * 1000) % 30011 - 15000);
}
float Value(std::int64_t point, int channel) { return float(Stored(point, channel)) * kResolutions[channel]; }

class RecordingTest : public ::testing::Test {
 protected:
  // A multiplexed INT_16 recording of three channels with markers and a comment. The data and marker
  // files are written once: an open recording keeps writers out of its data file on Windows.
  std::string Header(const std::string& dataFile = "rec.eeg") {
    if (!std::filesystem::exists(dir.File("rec.eeg"))) {
      std::vector<std::int16_t> samples;
      for (std::int64_t p = 0; p < kPoints; ++p)
        for (int c = 0; c < 3; ++c) samples.push_back(Stored(p, c));
      dir.Write("rec.eeg", {reinterpret_cast<const char*>(samples.data()), samples.size() * 2});
      dir.Write("rec.vmrk",
                "Tarvo Sylvex Data Exchange Marker File, Version 1.0\r\n[Marker Infos]\r\n"
                "Mk1=New Segment,,1,1,0,20261205103000250000\r\nMk2=Stimulus,S  1,501,20,2\r\n");
    }
    return dir.Write("rec.shdr", HeaderText("[Common Infos]\nCodepage=UTF-8\nDataFile=" + dataFile +
                                            "\nMarkerFile=rec.vmrk\nDataFormat=BINARY\nNumberOfChannels=3\n"
                                            "SamplingInterval=2000\n[Binary Infos]\nBinaryFormat=INT_16\n"
                                            "[Channel Infos]\nCh1=Fz,,0.5,\xC2\xB5V\nCh2=Cz,Fz,1,mV\nCh3=X1,,0.25\n"
                                            "[Coordinates]\nCh1=1,45,90\n[Comment]\nResting, eyes closed\n"));
  }
  TempDir dir;
};

TEST_F(RecordingTest, HeaderAndStoreDescribeTheSameRecording) {
  const std::string header = Header(), store = dir.File("rec.gdr");
  gdr::Recording::Import(header, store);
  for (const std::string& path : {header, store}) {
    const gdr::Recording recording = gdr::Recording::Open(path);
    std::ostringstream text;
    text << recording.DataPoints() << " " << recording.ValuesPerPoint() << " " << recording.SamplingInterval() << " "
         << recording.SamplingRate() << " " << recording.DataFile() << " " << recording.Comment() << "\n";
    // Coordinates given, or the standard position of the label, or none.
    for (const gdr::Channel& c : recording.Channels())
      text << c.name << "|" << c.reference << "|" << c.unit << "|" << c.resolution << "|"
           << (c.coordinates ? c.coordinates->theta : -1) << "\n";
    for (const gdr::Marker& m : recording.Markers())
      text << m.type << "|" << m.description << "|" << m.position << "|" << m.points << "|" << m.channel << "|"
           << (m.date ? duration_cast<milliseconds>(*m.date - sys_days(2026y / December / 5)).count() : -1) << "\n";
    EXPECT_EQ(text.str(), "400000 1 2000 500 " + dir.File("rec.eeg") +
                              " Resting, eyes closed\n"
                              "Fz||\xC2\xB5V|0.5|45\nCz|Fz|mV|1|0\nX1||\xC2\xB5V|0.25|-1\n"
                              "New Segment||0|1|-1|37800250\nStimulus|S  1|500|20|1|-1\n")
        << path;
  }
}

// Reads by index and by name, into the caller's buffer and handed over: four threads at once, two on
// one shared Recording and two each on its own.
TEST_F(RecordingTest, Reads) {
  const std::string header = Header();
  const gdr::Recording shared = gdr::Recording::Open(header);
  const std::string names[] = {"X1", "Fz"};
  EXPECT_EQ(shared.ChannelIndices(names), (std::vector<int>{2, 0}));
  const std::tuple<std::int64_t, std::int64_t, std::vector<int>> reads[] = {
      {0, kPoints, {}}, {1234, 1000, {2, 0}}, {kPoints - 1, 1, {1}}, {5, 0, {}}};
  std::vector<std::thread> threads;
  std::vector<int> good(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      const gdr::Recording own = gdr::Recording::Open(header);
      const gdr::Recording& recording = t % 2 ? own : shared;
      for (const auto& [first, count, channels] : reads) {
        std::vector<float> out(recording.ReadSize(count, channels));
        recording.Read(first, count, channels, out);
        const gdr::Block block = recording.ReadBlock(first, count, channels);
        std::vector<float> expected;
        for (std::int64_t p = first; p < first + count; ++p)
          for (const int c : channels.empty() ? std::vector<int>{0, 1, 2} : channels) expected.push_back(Value(p, c));
        good[std::size_t(t)] += out == expected && std::vector<float>(block.data(), block.data() + block.size()) == out;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good, std::vector<int>(4, 4));
}

// Refusals before reading, and failures that carry the component's message.
TEST_F(RecordingTest, RefusalsAndFailures) {
  const gdr::Recording recording = gdr::Recording::Open(Header());
  auto read = [&](std::int64_t first, std::int64_t count, std::vector<int> channels, std::size_t size) {
    return [=, &recording, out = std::vector<float>(size)]() mutable { recording.Read(first, count, channels, out); };
  };
  auto open = [](const std::string& path) { return [path] { gdr::Recording::Open(path); }; };
  const std::string unknown[] = {"Fz", "Oz"}, outside = " lies outside the recording's 400000 data points",
                    missing = dir.File("gone.eeg"), other = dir.Write("other.shdr", "Some other header\r\n"),
                    text = dir.Write("text.gdr", "no store"),
                    ansi = dir.File("\xE2\x82\xAC\xE2\x80\xA0\xE4\xB8\x80.shdr");
  const std::tuple<std::function<void()>, std::int32_t, std::string> rows[] = {
      {read(0, kPoints + 1, {}, 0), gdr::kInvalidArgument, "from 0, count 400001" + outside},
      {read(-1, 1, {}, 3), gdr::kInvalidArgument, "from -1, count 1" + outside},
      {read(kPoints, 1, {}, 3), gdr::kInvalidArgument, "from 400000, count 1" + outside},
      {read(std::int64_t(1) << 40, 1, {}, 3), gdr::kInvalidArgument, "from 1099511627776, count 1" + outside},
      {read(0, 1, {3}, 1), gdr::kInvalidArgument, "no channel 3 (the recording has 3 channels)"},
      {read(0, 1, {-1}, 1), gdr::kInvalidArgument, "no channel -1 (the recording has 3 channels)"},
      {read(0, 2, {0}, 3), gdr::kInvalidArgument, "the buffer holds 3 values; the read gives 2"},
      {[&] { recording.ChannelIndices(unknown); }, gdr::kInvalidArgument,
       "no channel Oz (the recording has 3 channels)"},
      {[&] { recording.CheckedRange(kPoints + 1, std::nullopt); }, gdr::kInvalidArgument,
       "from 400001, to the end" + outside},
      {open(Header(missing)), GDR_E_SHOWN, "Data file \"" + missing + "\" not found."},
      {open(other), GDR_S_NOT_THIS_FORMAT, "not a header file of this format: " + other},
      {open(text), STG_E_FILEALREADYEXISTS,
       text + " is no readable store: 0x80030050 (" + ResultCodeText(STG_E_FILEALREADYEXISTS) + ")"},
      {open(ansi), gdr::kInvalidArgument,
       ansi + ": the name has characters that the ANSI code page (Windows-1252) cannot hold"},
  };
  for (const auto& [call, code, message] : rows) {
    try {
      call();
      ADD_FAILURE() << "no error: " << message;
    } catch (const gdr::Error& e) {
      EXPECT_EQ(std::make_pair(std::string(e.what()), e.code()), std::make_pair(message, code));
    }
  }
  EXPECT_EQ(recording.CheckedRange(1, std::nullopt), kPoints - 1);
}

}  // namespace
