// A program that uses the installed library: opens a recording, prints its channels, and reads the
// first two seconds of two channels chosen by name.
//
//     read_channels RECORDING [NAME NAME]      (the first two channels when no names are given)
#include <gdr/Recording.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: read_channels RECORDING [NAME NAME]\n");
    return 1;
  }
  try {
    const gdr::Recording recording = gdr::Recording::Open(argv[1]);
    std::printf("%lld data points at %g Hz\n", static_cast<long long>(recording.DataPoints()),
                recording.SamplingRate());
    for (const gdr::Channel& channel : recording.Channels())
      std::printf("  %-8s %g %s\n", channel.name.c_str(), channel.resolution, channel.unit.c_str());
    if (recording.Channels().size() < 2) return 0;

    std::vector<std::string> names{recording.Channels()[0].name, recording.Channels()[1].name};
    if (argc == 4) names = {argv[2], argv[3]};
    const std::vector<int> channels = recording.ChannelIndices(names);
    const std::int64_t count =
        std::min<std::int64_t>(std::int64_t(2e6 / recording.SamplingInterval()), recording.DataPoints());
    std::vector<float> samples(recording.ReadSize(count, channels));
    recording.Read(0, count, channels, samples);

    for (std::size_t c = 0; c < names.size(); ++c) {
      float low = samples[c], high = samples[c];
      for (std::size_t i = c; i < samples.size(); i += names.size())
        low = std::min(low, samples[i]), high = std::max(high, samples[i]);
      std::printf("%s: %lld points from %g to %g\n", names[c].c_str(), static_cast<long long>(count), low, high);
    }
  } catch (const gdr::Error& error) {
    std::fprintf(stderr, "read_channels: %s (0x%08X)\n", error.what(), static_cast<unsigned>(error.code()));
    return 2;
  }
  return 0;
}
