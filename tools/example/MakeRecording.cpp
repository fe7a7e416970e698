// Writes a recording of a chosen layout and size, for benchmarks and tests:
//   make_recording FOLDER NAME LAYOUT MEGABYTES [CHANNELS] [RATE]
// LAYOUT is mux-int16, vec-int16, mux-float32, mux-seg-int16 (segments of one second, 64-byte
// headers), packed12 or ascii. The data file holds about MEGABYTES of an EEG-like signal.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A cheap signal: a 10 Hz rhythm (from a table of one period) per channel plus noise from a linear
// congruential generator, so that gigabytes are written in seconds.
class Signal {
 public:
  explicit Signal(int rate) : m_Period(std::max(1, rate / 10)) {
    for (int i = 0; i < m_Period; ++i) m_Rhythm.push_back(int(300.0 * std::sin(2 * 3.14159265358979 * i / m_Period)));
  }
  // The value of a channel at a point, in units of 0.1 µV, within ±800.
  int Value(std::int64_t point, int channel) {
    m_State = m_State * 6364136223846793005ull + 1442695040888963407ull;
    return m_Rhythm[std::size_t((point + 7 * channel) % m_Period)] + int((m_State >> 33) % 1001) - 500;
  }

 private:
  int m_Period;
  std::vector<int> m_Rhythm;
  std::uint64_t m_State = 1;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: make_recording FOLDER NAME LAYOUT MEGABYTES [CHANNELS] [RATE]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::string name = argv[2], layout = argv[3];
  const double megabytes = std::atof(argv[4]);
  const int channels = argc > 5 ? std::atoi(argv[5]) : 64, rate = argc > 6 ? std::atoi(argv[6]) : 1000;
  std::filesystem::create_directories(folder);

  const bool ascii = layout == "ascii", packed = layout == "packed12", floats = layout == "mux-float32";
  const bool vectorized = layout == "vec-int16", segmented = layout == "mux-seg-int16";
  const double bytesPerPoint = ascii ? 7.0 * channels : packed ? 1.5 * channels : (floats ? 4.0 : 2.0) * channels;
  std::int64_t points = std::int64_t(megabytes * 1e6 / bytesPerPoint);
  if (segmented) points = points / rate * rate;
  if (packed && points % 2) --points;
  Signal signal(rate);
  std::ofstream data(folder / (name + (ascii ? ".txt" : ".bin")), std::ios::binary);
  std::vector<char> buffer;
  auto flush = [&] {
    data.write(buffer.data(), std::streamsize(buffer.size()));
    buffer.clear();
  };
  if (vectorized) {
    // One channel after the other: the whole signal per channel.
    for (int c = 0; c < channels; ++c)
      for (std::int64_t t = 0; t < points; ++t) {
        const std::int16_t v = std::int16_t(signal.Value(t, c));
        buffer.insert(buffer.end(), reinterpret_cast<const char*>(&v), reinterpret_cast<const char*>(&v) + 2);
        if (buffer.size() > (1 << 20)) flush();
      }
  } else {
    std::vector<int> row(static_cast<std::size_t>(channels));
    int pending = -1;  // a packed number waiting for its partner
    char text[32];
    for (std::int64_t t = 0; t < points; ++t) {
      if (segmented && t % rate == 0) buffer.insert(buffer.end(), 64, '\x5A');  // the segment's header
      for (int c = 0; c < channels; ++c) row[std::size_t(c)] = signal.Value(t, c);
      for (int c = 0; c < channels; ++c) {
        const int v = row[std::size_t(c)];
        if (ascii) {
          const int length = std::snprintf(text, sizeof text, c + 1 < channels ? "%.1f " : "%.1f\n", v / 10.0);
          buffer.insert(buffer.end(), text, text + length);
        } else if (floats) {
          const float f = float(v) * 0.1f;
          buffer.insert(buffer.end(), reinterpret_cast<const char*>(&f), reinterpret_cast<const char*>(&f) + 4);
        } else if (packed) {
          // Two 12-bit numbers in three bytes, the first in the high bits.
          const unsigned u = unsigned(v) & 0xFFF;
          if (pending < 0) {
            pending = int(u);
          } else {
            buffer.push_back(char(pending >> 4));
            buffer.push_back(char((pending & 0xF) << 4 | u >> 8));
            buffer.push_back(char(u & 0xFF));
            pending = -1;
          }
        } else {
          const std::int16_t s = std::int16_t(v);
          buffer.insert(buffer.end(), reinterpret_cast<const char*>(&s), reinterpret_cast<const char*>(&s) + 2);
        }
      }
      if (buffer.size() > (1 << 20)) flush();
    }
  }
  flush();

  std::ofstream header(folder / (name + ".shdr"), std::ios::binary);
  header << "Tarvo Sylvex Data Exchange Header File Version 1.0\r\n[Common Infos]\r\nDataFile=" << name
         << (ascii ? ".txt" : ".bin") << "\r\nNumberOfChannels=" << channels << "\r\nSamplingInterval=" << 1e6 / rate
         << "\r\nDataPoints=" << points << "\r\nDataFormat=" << (ascii ? "ASCII" : "BINARY")
         << "\r\nDataOrientation=" << (vectorized ? "VECTORIZED" : "MULTIPLEXED") << "\r\n";
  if (segmented) header << "SegmentationType=FIXTIME\r\nSegmentDataPoints=" << rate << "\r\n";
  if (!ascii) {
    header << "[Binary Infos]\r\nBinaryFormat="
           << (floats   ? "IEEE_FLOAT_32"
               : packed ? "ATS_INT_12_PACKED"
                        : "INT_16")
           << "\r\n";
    if (segmented) header << "SegmentHeaderSize=64\r\n";
  }
  header << "[Channel Infos]\r\n";
  for (int c = 0; c < channels; ++c)
    header << "Ch" << c + 1 << "=E" << c + 1 << ",," << (floats || ascii ? 1 : 0.1) << ",\xB5V\r\n";
  return 0;
}
