// Writes the example recording: 32 channels of the 10-20 system at 500 Hz for three minutes of
// simulated EEG (an alpha rhythm strongest at the back of the head, background noise, eye blinks at
// the front), INT_16 samples of 0.1 µV, markers with a "Time 0" and dated stimuli, a UTF-8 header.
//   make_example FOLDER   writes FOLDER/example.shdr, example.eeg and example.vmrk
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Electrode {
  const char* name;
  float theta, phi;  // spherical coordinates in degrees, radius 1
  float alpha;       // weight of the alpha rhythm
  float blink;       // weight of the eye blinks
};

constexpr Electrode kElectrodes[32] = {
    {"Fp1", -90, -72, 0.1f, 1.0f},  {"Fp2", 90, 72, 0.1f, 1.0f},   {"F7", -90, -36, 0.2f, 0.4f},
    {"F3", -60, -51, 0.2f, 0.5f},   {"Fz", 45, 90, 0.2f, 0.5f},    {"F4", 60, 51, 0.2f, 0.5f},
    {"F8", 90, 36, 0.2f, 0.4f},     {"FC5", -69, -21, 0.3f, 0.3f}, {"FC1", -31, -46, 0.3f, 0.3f},
    {"FC2", 31, 46, 0.3f, 0.3f},    {"FC6", 69, 21, 0.3f, 0.3f},   {"T7", -90, 0, 0.3f, 0.1f},
    {"C3", -45, 0, 0.4f, 0.1f},     {"Cz", 0, 0, 0.4f, 0.1f},      {"C4", 45, 0, 0.4f, 0.1f},
    {"T8", 90, 0, 0.3f, 0.1f},      {"TP9", -113, 18, 0.4f, 0.0f}, {"CP5", -69, 21, 0.5f, 0.0f},
    {"CP1", -31, 46, 0.5f, 0.0f},   {"CP2", 31, -46, 0.5f, 0.0f},  {"CP6", 69, -21, 0.5f, 0.0f},
    {"TP10", 113, -18, 0.4f, 0.0f}, {"P7", -90, 36, 0.7f, 0.0f},   {"P3", -60, 51, 0.7f, 0.0f},
    {"Pz", 45, -90, 0.8f, 0.0f},    {"P4", 60, -51, 0.7f, 0.0f},   {"P8", 90, -36, 0.7f, 0.0f},
    {"PO9", -113, 54, 0.9f, 0.0f},  {"O1", -90, 72, 1.0f, 0.0f},   {"Oz", 90, -90, 1.0f, 0.0f},
    {"O2", 90, -72, 1.0f, 0.0f},    {"PO10", 113, -54, 0.9f, 0.0f}};

constexpr int kRate = 500;
constexpr int kSeconds = 180;
constexpr int kPoints = kRate * kSeconds;
constexpr float kResolution = 0.1f;  // µV per unit
constexpr double kPi = 3.14159265358979323846;

std::string Date(int point) {
  // 2026-12-05 10:00:00 plus the point's time, as YYYYMMDDhhmmssuuuuuu.
  const long long microseconds = 36000LL * 1000000 + point * (1000000LL / kRate);
  const long long seconds = microseconds / 1000000;
  char text[32];
  std::snprintf(text, sizeof text, "20261205%02lld%02lld%02lld%06lld", seconds / 3600, seconds / 60 % 60, seconds % 60,
                microseconds % 1000000);
  return text;
}

void WriteData(const std::filesystem::path& path, const std::vector<int>& blinks) {
  std::mt19937 random(1205);
  std::normal_distribution<double> white(0.0, 1.0);
  std::vector<double> background(32, 0.0);
  std::vector<std::int16_t> row(32);
  std::ofstream out(path, std::ios::binary);
  for (int t = 0; t < kPoints; ++t) {
    const double time = double(t) / kRate;
    // Eyes closed for 20 s, open for 10 s: the alpha rhythm waxes and wanes with them.
    const double eyesClosed = std::fmod(time, 30.0) < 20.0 ? 1.0 : 0.25;
    const double alpha = 25.0 * eyesClosed * std::sin(2 * kPi * (10.0 + 0.3 * std::sin(time / 7)) * time);
    double blink = 0.0;
    for (int at : blinks) blink += 160.0 * std::exp(-std::pow((t - at) / (0.08 * kRate), 2));
    for (int c = 0; c < 32; ++c) {
      background[c] = 0.97 * background[c] + 2.2 * white(random);  // slow, pink-like background
      const double microvolts = kElectrodes[c].alpha * alpha + background[c] + kElectrodes[c].blink * blink +
                                1.5 * std::sin(2 * kPi * 50 * time + c);
      row[c] = std::int16_t(std::lround(std::clamp(microvolts / kResolution, -32768.0, 32767.0)));
    }
    out.write(reinterpret_cast<const char*>(row.data()), std::streamsize(row.size() * 2));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_example FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);

  std::mt19937 random(7);
  std::vector<int> blinks;
  for (int t = 2 * kRate; t < kPoints; t += kRate * int(4 + random() % 4)) blinks.push_back(t);
  WriteData(folder / "example.eeg", blinks);

  std::ofstream markers(folder / "example.vmrk", std::ios::binary);
  markers << "Tarvo Sylvex Data Exchange Marker File, Version 1.0\r\n\r\n[Marker Infos]\r\n"
          << "; Mk<number>=<type>,<description>,<position>,<points>,<channel>,<date>\r\n"
          << "Mk1=New Segment,,1,1,0," << Date(0) << "\r\n"
          << "Mk2=Time 0,Start of the task,2501,1,0\r\n";
  int number = 3;
  for (int t = 3 * kRate; t < kPoints; t += 3 * kRate, ++number)
    markers << "Mk" << number << "=Stimulus,S  " << (number % 2 + 1) << "," << t + 1 << ",1,0," << Date(t) << "\r\n";
  for (int at : blinks)
    markers << "Mk" << number++ << "=Comment,Eye blink at Fp1\\1 Fp2," << at + 1 - kRate / 10 << "," << kRate / 5
            << ",1\r\n";

  std::ofstream header(folder / "example.shdr", std::ios::binary);
  header << "Tarvo Sylvex Data Exchange Header File Version 1.0\r\n"
         << "; A simulated EEG recording, written by make_example.\r\n\r\n"
         << "[Common Infos]\r\nCodepage=UTF-8\r\nDataFile=$b.eeg\r\nMarkerFile=$b.vmrk\r\nDataFormat=BINARY\r\n"
         << "DataOrientation=MULTIPLEXED\r\nNumberOfChannels=32\r\n; 500 Hz\r\nSamplingInterval=2000\r\n\r\n"
         << "[Binary Infos]\r\nBinaryFormat=INT_16\r\n\r\n[Channel Infos]\r\n"
         << "; Ch<number>=<name>,<reference>,<resolution>,<unit>\r\n";
  for (int c = 0; c < 32; ++c) header << "Ch" << c + 1 << "=" << kElectrodes[c].name << ",,0.1,\xC2\xB5V\r\n";
  header << "\r\n[Coordinates]\r\n";
  for (int c = 0; c < 32; ++c)
    header << "Ch" << c + 1 << "=1," << kElectrodes[c].theta << "," << kElectrodes[c].phi << "\r\n";
  header
      << "\r\n[Comment]\r\nSimulated resting EEG: eyes closed for 20 s, then open for 10 s, repeated.\r\n"
      << "Alpha rhythm (10 Hz) strongest over O1, Oz, O2; eye blinks at Fp1 and Fp2; 50 Hz mains of 1.5 \xC2\xB5V.\r\n";
  return 0;
}
