// Throughput of the sample readers, against a plain memcpy of the same bytes.
// Sizes: $GDR_BENCH_MB megabytes of binary data (default 1024), 64 channels at 1000 Hz; an ASCII
// recording of $GDR_BENCH_ASCII_LINES lines (default 10^6) of 8 channels.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "BenchData.h"
#include "RandomWindows.h"
#include "header/HeaderCodes.h"
#include "platform/ComRuntime.h"
#include "readers/AsciiReader.h"
#include "readers/SampleReader.h"

namespace {

constexpr int kChannels = 64;
constexpr LONG kPage = 1000;  // one second at 1000 Hz: the way a host pages

// Whole seconds of 64 INT_16 channels at 1000 Hz, as a recording holds. (A size of 2^k bytes would
// put a vectorized file's channels 2^k / 64 bytes apart, where all channels' runs of a window compete
// for the same cache sets: windows then take about a quarter longer.)
std::uint64_t BinaryBytes() {
  const char* megabytes = std::getenv("GDR_BENCH_MB");
  constexpr std::uint64_t kSecond = 1000 * kChannels * 2;
  return std::uint64_t(megabytes ? std::atoll(megabytes) : 1024) * 1000000 / kSecond * kSecond;
}

std::uint64_t AsciiLines() {
  const char* lines = std::getenv("GDR_BENCH_ASCII_LINES");
  return lines ? std::uint64_t(std::atoll(lines)) : 1000000;
}

struct BinaryCase {
  const char* file;
  SampleLayout layout;
};

std::unique_ptr<CIntervalReader> OpenBinary(const BinaryCase& binary) {
  const bool floats = binary.layout.m_SampleFormat == FORMAT_IEEE_FLOAT_32;
  HRESULT opened = S_OK;
  auto reader = OpenSampleReader(bench::BinaryFile(binary.file, BinaryBytes(), floats), kChannels, 0,
                                 std::vector<float>(kChannels, 0.1f), false, 1, binary.layout, opened);
  if (FAILED(opened)) std::abort();
  return reader;
}

// Reads the whole recording, `channels` of the 64, in pages of `page` points.
void ReadAll(benchmark::State& state, const BinaryCase& binary, int channels, LONG page) {
  const std::unique_ptr<CIntervalReader> reader = OpenBinary(binary);
  const LONG points = reader->GetDataPoints();
  std::vector<LONG> list;
  for (int c = 0; c < channels; ++c) list.push_back(c * (kChannels / channels));
  for (auto _ : state) {
    for (LONG first = 0; first < points; first += page) {
      float* block = nullptr;
      const HRESULT result = reader->ReadInterval(first, std::min(page, points - first), &block,
                                                  channels == kChannels ? nullptr : list.data(), LONG(list.size()));
      if (FAILED(result)) state.SkipWithError("read failed");
      benchmark::DoNotOptimize(block);
      CoTaskMemFree(block);
    }
  }
  const double fileBytes = double(std::filesystem::file_size(bench::BinaryFile(binary.file, BinaryBytes(), false)));
  state.SetBytesProcessed(std::int64_t(double(state.iterations()) * fileBytes));
  state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(points) * channels);
}

const BinaryCase kMuxInt16 = {"mux-int16.bin", {.m_DataOrientation = MULTIPLEXED, .m_SampleFormat = FORMAT_INT_16}};
const BinaryCase kVecInt16 = {"vec-int16.bin", {.m_DataOrientation = VECTORIZED, .m_SampleFormat = FORMAT_INT_16}};
const BinaryCase kMuxFloat = {"mux-float.bin",
                              {.m_DataOrientation = MULTIPLEXED, .m_SampleFormat = FORMAT_IEEE_FLOAT_32}};
const BinaryCase kMuxSegments = {"mux-seg-int16.bin",
                                 {.m_DataOrientation = MULTIPLEXED,
                                  .m_SampleFormat = FORMAT_INT_16,
                                  .m_SegmentHeaderSize = 64,
                                  .m_SegmentDataPoints = 1000}};
const BinaryCase kPacked = {"mux-packed12.bin",
                            {.m_DataOrientation = MULTIPLEXED, .m_SampleFormat = FORMAT_ATS_INT_12_PACKED}};

void BM_Memcpy(benchmark::State& state) {
  const std::uint64_t bytes = BinaryBytes();
  std::vector<char> from(bytes, 1), to(bytes, 2);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}

void BM_MuxInt16_AllChannels_Paged(benchmark::State& state) { ReadAll(state, kMuxInt16, kChannels, kPage); }
void BM_MuxInt16_AllChannels_OneRead(benchmark::State& state) {
  ReadAll(state, kMuxInt16, kChannels, std::numeric_limits<LONG>::max());
}
void BM_MuxInt16_4Channels_Paged(benchmark::State& state) { ReadAll(state, kMuxInt16, 4, kPage); }
void BM_MuxInt16_1Channel_Paged(benchmark::State& state) { ReadAll(state, kMuxInt16, 1, kPage); }
void BM_VecInt16_AllChannels_Paged(benchmark::State& state) { ReadAll(state, kVecInt16, kChannels, kPage); }
void BM_VecInt16_1Channel_Paged(benchmark::State& state) { ReadAll(state, kVecInt16, 1, kPage); }
void BM_MuxFloat_AllChannels_Paged(benchmark::State& state) { ReadAll(state, kMuxFloat, kChannels, kPage); }
void BM_MuxSegInt16_AllChannels_Paged(benchmark::State& state) { ReadAll(state, kMuxSegments, kChannels, kPage); }
void BM_MuxPacked12_AllChannels_Paged(benchmark::State& state) { ReadAll(state, kPacked, kChannels, kPage); }

// Windows of 2 s at random positions, as a viewer jumps: the median and 90th percentile of single reads.
void Report(benchmark::State& state, const std::vector<double>& times) {
  state.counters["median_us"] = bench::Quantile(times, 0.5);
  state.counters["p90_us"] = bench::Quantile(times, 0.9);
}

void ReadWindows(benchmark::State& state, const BinaryCase& binary, int channels) {
  const std::unique_ptr<CIntervalReader> reader = OpenBinary(binary);
  const std::vector<LONG> one = {kChannels / 2};
  for (auto _ : state)
    Report(state, bench::RandomWindowTimes(*reader, bench::kWindowPoints, bench::kWindowReads,
                                           channels == kChannels ? nullptr : &one));
}

void BM_Window_Memcpy(benchmark::State& state) {
  for (auto _ : state)
    Report(state,
           bench::MemcpyTimes(std::size_t(bench::kWindowPoints) * kChannels * sizeof(float), bench::kWindowReads));
}
void BM_Window_MuxInt16(benchmark::State& state) { ReadWindows(state, kMuxInt16, kChannels); }
void BM_Window_VecInt16(benchmark::State& state) { ReadWindows(state, kVecInt16, kChannels); }
void BM_Window_VecInt16_1Channel(benchmark::State& state) { ReadWindows(state, kVecInt16, 1); }
void BM_Window_MuxInt16_1Channel(benchmark::State& state) { ReadWindows(state, kMuxInt16, 1); }
void BM_Window_MuxFloat(benchmark::State& state) { ReadWindows(state, kMuxFloat, kChannels); }
void BM_Window_MuxSegInt16(benchmark::State& state) { ReadWindows(state, kMuxSegments, kChannels); }
void BM_Window_MuxPacked12(benchmark::State& state) { ReadWindows(state, kPacked, kChannels); }

// ASCII: a fresh reader each time, so that indexing the text is part of the cost.
void ReadAscii(benchmark::State& state, LONG page) {
  constexpr int kAsciiChannels = 8;
  const std::uint64_t lines = AsciiLines();
  const std::string path = bench::AsciiFile("ascii-" + std::to_string(lines) + ".txt", lines, kAsciiChannels);
  const std::vector<float> resolutions(kAsciiChannels, 1.0f);
  const LONG points = LONG(lines);
  for (auto _ : state) {
    CASCIIReader reader;
    if (FAILED(reader.Open(path, kAsciiChannels, points, resolutions, false, 1,
                           {.m_DataOrientation = MULTIPLEXED, .m_DecimalSymbol = '.'})))
      state.SkipWithError("open failed");
    for (LONG first = 0; first < points; first += page) {
      float* block = nullptr;
      if (FAILED(reader.ReadInterval(first, std::min(page, points - first), &block, nullptr, 0)))
        state.SkipWithError("read failed");
      CoTaskMemFree(block);
    }
  }
  state.SetBytesProcessed(std::int64_t(double(state.iterations()) * double(std::filesystem::file_size(path))));
  state.SetItemsProcessed(std::int64_t(state.iterations()) * points * kAsciiChannels);
}

void BM_Ascii_OneRead(benchmark::State& state) { ReadAscii(state, std::numeric_limits<LONG>::max()); }
void BM_Ascii_Paged(benchmark::State& state) { ReadAscii(state, kPage); }

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MuxInt16_AllChannels_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MuxInt16_AllChannels_OneRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MuxInt16_4Channels_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MuxInt16_1Channel_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VecInt16_AllChannels_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VecInt16_1Channel_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MuxFloat_AllChannels_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MuxSegInt16_AllChannels_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MuxPacked12_AllChannels_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Window_Memcpy)->Iterations(1);
BENCHMARK(BM_Window_MuxInt16)->Iterations(1);
BENCHMARK(BM_Window_VecInt16)->Iterations(1);
BENCHMARK(BM_Window_VecInt16_1Channel)->Iterations(1);
BENCHMARK(BM_Window_MuxInt16_1Channel)->Iterations(1);
BENCHMARK(BM_Window_MuxFloat)->Iterations(1);
BENCHMARK(BM_Window_MuxSegInt16)->Iterations(1);
BENCHMARK(BM_Window_MuxPacked12)->Iterations(1);
BENCHMARK(BM_Ascii_OneRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ascii_Paged)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
