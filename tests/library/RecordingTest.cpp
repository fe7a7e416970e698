// gdr::Recording as a program uses it: the public header and the installed library only.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "contract/ResultCodes.h"
#include "gdr/Recording.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono;

constexpr int kChannels = 3;
constexpr int kPoints = 400000;  // more than one chunk of a read holds

// The stored number of a channel at a point.
std::int16_t Stored(std::int64_t point, int channel) {
  return std::int16_t((point * 7 + channel * 1000) % 30011 - 15000);
}
constexpr float kResolutions[kChannels] = {0.5f, 1.0f, 0.25f};

class RecordingTest : public ::testing::Test {
 protected:
  // A multiplexed INT_16 recording of three channels with markers and a comment.
  std::string Header(const std::string& dataFile = "rec.eeg") {
    std::string samples;
    for (std::int64_t p = 0; p < kPoints; ++p)
      for (int c = 0; c < kChannels; ++c) {
        const std::int16_t value = Stored(p, c);
        samples.append(reinterpret_cast<const char*>(&value), sizeof value);
      }
    dir.Write("rec.eeg", samples);
    dir.Write("rec.vmrk",
              "Tarvo Sylvex Data Exchange Marker File, Version 1.0\r\n[Marker Infos]\r\n"
              "Mk1=New Segment,,1,1,0,20261205103000250000\r\nMk2=Stimulus,S  1,501,20,2\r\n");
    return dir.Write(
        "rec.shdr",
        "Tarvo Sylvex Data Exchange Header File Version 1.0\r\n[Common Infos]\r\nCodepage=UTF-8\r\nDataFile=" +
            dataFile +
            "\r\nMarkerFile=rec.vmrk\r\nDataFormat=BINARY\r\nNumberOfChannels=3\r\n"
            "SamplingInterval=2000\r\n[Binary Infos]\r\nBinaryFormat=INT_16\r\n"
            "[Channel Infos]\r\nCh1=Fz,,0.5,\xC2\xB5V\r\nCh2=Cz,Fz,1,mV\r\nCh3=Pz,,0.25\r\n"
            "[Coordinates]\r\nCh1=1,45,90\r\n[Comment]\r\nResting, eyes closed\r\n");
  }
  static std::vector<float> Expected(std::int64_t first, std::int64_t count, const std::vector<int>& channels) {
    std::vector<float> values;
    for (std::int64_t p = first; p < first + count; ++p)
      for (const int c : channels) values.push_back(float(Stored(p, c)) * kResolutions[c]);
    return values;
  }
  std::string Store() {
    const std::string store = dir.File("rec.gdr");
    gdr::Recording::Import(Header(), store);
    return store;
  }
  TempDir dir;
};

TEST_F(RecordingTest, HeaderAndStoreDescribeTheSameRecording) {
  for (const bool stored : {false, true}) {
    const gdr::Recording recording = gdr::Recording::Open(stored ? Store() : Header());
    EXPECT_EQ(recording.DataPoints(), kPoints);
    EXPECT_EQ(recording.ValuesPerPoint(), 1);
    EXPECT_EQ(recording.SamplingInterval(), 2000.0);
    EXPECT_EQ(recording.SamplingRate(), 500.0);
    EXPECT_EQ(recording.Comment(), "Resting, eyes closed");
    EXPECT_EQ(recording.DataFile(), dir.File("rec.eeg"));
    const std::vector<gdr::Channel>& channels = recording.Channels();
    ASSERT_EQ(channels.size(), 3u);
    const struct {
      const char *name, *reference, *unit;
      double resolution;
      float theta;
    } kExpected[] = {{"Fz", "", "\xC2\xB5V", 0.5, 45}, {"Cz", "Fz", "mV", 1, 0}, {"Pz", "", "\xC2\xB5V", 0.25, 45}};
    for (std::size_t i = 0; i < channels.size(); ++i) {
      EXPECT_EQ(channels[i].name, kExpected[i].name);
      EXPECT_EQ(channels[i].reference, kExpected[i].reference);
      EXPECT_EQ(channels[i].unit, kExpected[i].unit);
      EXPECT_EQ(channels[i].resolution, kExpected[i].resolution);
      ASSERT_TRUE(channels[i].coordinates) << i;  // given, or the standard position of the label
      EXPECT_EQ(channels[i].coordinates->theta, kExpected[i].theta);
    }
    const std::vector<gdr::Marker>& markers = recording.Markers();
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0].type, "New Segment");
    EXPECT_EQ(markers[0].channel, -1);
    EXPECT_EQ(markers[0].date, sys_days(2026y / December / 5) + 10h + 30min + 250ms);
    EXPECT_EQ(markers[1].description, "S  1");
    EXPECT_EQ(markers[1].position, 500);
    EXPECT_EQ(markers[1].points, 20);
    EXPECT_EQ(markers[1].channel, 1);
    EXPECT_FALSE(markers[1].date);
  }
}

TEST_F(RecordingTest, ReadsByIndexAndByName) {
  const gdr::Recording recording = gdr::Recording::Open(Header());
  const std::string names[] = {"Pz", "Fz"};
  EXPECT_EQ(recording.ChannelIndices(names), (std::vector<int>{2, 0}));
  const struct {
    std::int64_t first, count;
    std::vector<int> channels;
  } kReads[] = {{0, kPoints, {}}, {1234, 1000, {2, 0}}, {kPoints - 1, 1, {1}}, {5, 0, {}}};
  for (const auto& read : kReads) {
    const std::vector<int> channels = read.channels.empty() ? std::vector<int>{0, 1, 2} : read.channels;
    std::vector<float> out(recording.ReadSize(read.count, read.channels));
    recording.Read(read.first, read.count, read.channels, out);
    EXPECT_EQ(out, Expected(read.first, read.count, channels)) << read.first;
    const gdr::Block block = recording.ReadBlock(read.first, read.count, read.channels);
    EXPECT_EQ(std::vector<float>(block.data(), block.data() + block.size()), out) << read.first;
  }
}

TEST_F(RecordingTest, RefusalsBeforeReading) {
  const gdr::Recording recording = gdr::Recording::Open(Header());
  const struct {
    std::int64_t first, count;
    std::vector<int> channels;
    std::size_t size;
    const char* text;
  } kRefusals[] = {
      {0, kPoints + 1, {}, 0, "from 0, count 400001 lies outside the recording's 400000 data points"},
      {-1, 1, {}, 3, "from -1, count 1 lies outside the recording's 400000 data points"},
      {kPoints, 1, {}, 3, "from 400000, count 1 lies outside the recording's 400000 data points"},
      {std::int64_t(1) << 40, 1, {}, 3, "from 1099511627776, count 1 lies outside the recording's 400000 data points"},
      {0, 1, {3}, 1, "no channel 3 (the recording has 3 channels)"},
      {0, 1, {-1}, 1, "no channel -1 (the recording has 3 channels)"},
      {0, 2, {0}, 3, "the buffer holds 3 values; the read gives 2"},
  };
  for (const auto& refusal : kRefusals) {
    std::vector<float> out(refusal.size);
    try {
      recording.Read(refusal.first, refusal.count, refusal.channels, out);
      ADD_FAILURE() << refusal.text;
    } catch (const gdr::Error& e) {
      EXPECT_STREQ(e.what(), refusal.text);
      EXPECT_EQ(e.code(), gdr::kInvalidArgument);
    }
  }
  const std::string unknown[] = {"Fz", "Oz"};
  try {
    recording.ChannelIndices(unknown);
    ADD_FAILURE();
  } catch (const gdr::Error& e) {
    EXPECT_STREQ(e.what(), "no channel Oz (the recording has 3 channels)");
  }
  EXPECT_EQ(recording.CheckedRange(1, std::nullopt), kPoints - 1);
  try {
    recording.CheckedRange(kPoints + 1, std::nullopt);
    ADD_FAILURE();
  } catch (const gdr::Error& e) {
    EXPECT_STREQ(e.what(), "from 400001, to the end lies outside the recording's 400000 data points");
  }
}

TEST_F(RecordingTest, FailuresCarryTheComponentsMessage) {
  const std::string missing = dir.File("gone.eeg");
  const struct {
    std::string path;
    std::int32_t code;
    std::string text;
  } kFailures[] = {
      {Header(missing), GDR_E_SHOWN, "Data file \"" + missing + "\" not found."},
      {dir.Write("other.shdr", "Some other header\r\n"), GDR_S_NOT_THIS_FORMAT,
       "not a header file of this format: " + dir.File("other.shdr")},
      {dir.Write("text.gdr", "no store"), STG_E_FILEALREADYEXISTS,
       dir.File("text.gdr") + " is no readable store: 0x80030050 (" + ResultCodeText(STG_E_FILEALREADYEXISTS) + ")"},
      {dir.File("\xE2\x82\xAC\xE2\x80\xA0\xE4\xB8\x80.shdr"), gdr::kInvalidArgument,
       dir.File("\xE2\x82\xAC\xE2\x80\xA0\xE4\xB8\x80.shdr") +
           ": the name has characters that the ANSI code page (Windows-1252) cannot hold"},
  };
  for (const auto& failure : kFailures) {
    try {
      gdr::Recording::Open(failure.path);
      ADD_FAILURE() << failure.path;
    } catch (const gdr::Error& e) {
      EXPECT_EQ(e.what(), failure.text);
      EXPECT_EQ(e.code(), failure.code) << failure.path;
    }
  }
}

// Several threads read: each its own Recording, and all of them one shared Recording.
TEST_F(RecordingTest, ParallelReads) {
  const std::string header = Header();
  const gdr::Recording shared = gdr::Recording::Open(header);
  std::vector<std::thread> threads;
  std::vector<int> good(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      const gdr::Recording own = gdr::Recording::Open(header);
      const std::vector<int> channels{t % 3};
      for (int i = 0; i < 20; ++i) {
        std::vector<float> out(1000);
        (i % 2 ? own : shared).Read(t * 1000 + i, 1000, channels, out);
        good[std::size_t(t)] += out == Expected(t * 1000 + i, 1000, channels);
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good, std::vector<int>(4, 20));
}

}  // namespace
