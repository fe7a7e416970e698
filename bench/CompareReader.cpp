// The component's side of bench/compare: reads a recording through the sample readers as a host
// pages it and as a viewer jumps through it, and measures the machine's limits on the same bytes.
// Prints one JSON object.
//   compare_reader HEADER REPETITIONS
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "RandomWindows.h"
#include "Timing.h"
#include "contract/DataType.h"
#include "header/HeaderFile.h"
#include "platform/ComRuntime.h"
#include "platform/DataFile.h"
#include "platform/Files.h"
#include "readers/SampleReader.h"

namespace {

std::unique_ptr<CIntervalReader> OpenReader(const CHeaderFile& h) {
  std::vector<float> resolutions;
  for (const CChannelInfo& c : h.m_Channels) resolutions.push_back(c.Resolution);
  HRESULT opened = S_OK;
  auto reader = OpenSampleReader(h.m_DataFile, std::int32_t(h.m_Channels.size()), h.m_DataPoints, resolutions,
                                 IsComplex(h.m_DataType), h.m_Layers, h, opened);
  if (FAILED(opened)) std::exit(1);
  return reader;
}

// Reads every point of the listed channels (null: all) in pages of `page` points.
void ReadAll(CIntervalReader& reader, LONG points, LONG page, const std::vector<LONG>* channels) {
  for (LONG first = 0; first < points; first += page) {
    float* block = nullptr;
    if (FAILED(reader.ReadInterval(first, std::min(page, points - first), &block, channels ? channels->data() : nullptr,
                                   channels ? LONG(channels->size()) : 0)))
      std::exit(1);
    CoTaskMemFree(block);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const int repetitions = std::atoi(argv[2]);
  CHeaderFile header;
  if (header.Load(argv[1]) != HEADER_PARSED) return 1;
  const LONG points = header.m_DataPoints;
  const LONG page = LONG(1e6 / header.m_SamplingInterval);  // one second
  const auto channels = LONG(header.m_Channels.size());
  const double bytes = double(std::filesystem::file_size(ToNativePath(header.m_DataFile)));
  const bool ascii = header.m_SampleFormat == FORMAT_ASCII;
  std::vector<LONG> four, one = {channels / 2};
  for (LONG c = 0; c < 4 && c < channels; ++c) four.push_back(c * (channels / 4));

  auto rate = [&](double seconds) { return bytes / seconds / 1e6; };
  std::printf("{\"file_bytes\": %.0f", bytes);
  // A fresh reader for each run, so that an ASCII reader indexes its text every time.
  auto measure = [&](const char* name, LONG pageSize, const std::vector<LONG>* list) {
    const double seconds =
        bench::MedianSeconds(repetitions, [&] { ReadAll(*OpenReader(header), points, pageSize, list); });
    std::printf(", \"%s\": %.1f", name, rate(seconds));
  };
  measure("paged_all", page, nullptr);
  if (!ascii) {
    // One read of everything, where the block fits comfortably in memory.
    if (double(points) * channels * 4 < 8e9) measure("one_read", points, nullptr);
    measure("paged_4", page, &four);
    measure("paged_1", page, &one);
    std::vector<char> from(std::size_t(bytes), 1), to(std::size_t(bytes), 2);
    std::printf(", \"memcpy\": %.1f",
                rate(bench::MedianSeconds(repetitions, [&] { std::memcpy(to.data(), from.data(), to.size()); })));
    HANDLE file =
        CreateFileA(header.m_DataFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> chunk(1 << 20);
    std::printf(", \"file_read\": %.1f", rate(bench::MedianSeconds(repetitions, [&] {
                  for (std::uint64_t at = 0; at < std::uint64_t(bytes); at += chunk.size())
                    ReadFileAt(file, at, chunk.data(), chunk.size());
                })));
    CloseHandle(file);
    // Windows of 2 s at random positions: all channels, one channel, and a memcpy of the block.
    auto window = [&](const char* name, const std::vector<double>& times) {
      std::printf(", \"%s_median_us\": %.1f, \"%s_p90_us\": %.1f", name, bench::Quantile(times, 0.5), name,
                  bench::Quantile(times, 0.9));
    };
    const auto reader = OpenReader(header);
    window("window_all", bench::RandomWindowTimes(*reader, bench::kWindowPoints, bench::kWindowReads, nullptr));
    window("window_1", bench::RandomWindowTimes(*reader, bench::kWindowPoints, bench::kWindowReads, &one));
    window("window_memcpy",
           bench::MemcpyTimes(std::size_t(bench::kWindowPoints) * std::size_t(channels) * sizeof(float),
                              bench::kWindowReads));
  }
  std::printf("}\n");
  return 0;
}
