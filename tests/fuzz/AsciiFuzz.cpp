// The ASCII reader on arbitrary text, layouts and intervals.
#include <vector>

#include "FuzzInput.h"
#include "platform/ComRuntime.h"
#include "readers/AsciiReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::int32_t channels = std::int32_t(input.Number(0, 8));
  const std::int32_t points = std::int32_t(input.Number(-2, 300));
  const bool multiplexed = input.Flag(), complex = input.Flag();
  const std::int32_t layers = std::int32_t(input.Number(0, 3));
  const char decimal = input.Flag() ? ',' : '.';
  const std::int32_t skipLines = std::int32_t(input.Number(0, 5)), skipColumns = std::int32_t(input.Number(0, 3));
  std::vector<std::int64_t> reads;
  for (int i = 0; i < 9; ++i) reads.push_back(input.Number(-3, 400));
  std::vector<float> resolutions(std::size_t(input.Number(0, 8)), 0.5f);
  CASCIIReader reader;
  reader.Open(WriteFuzzFile("a.txt", input.Rest()), channels, points, multiplexed, resolutions, complex, layers,
              decimal, skipLines, skipColumns);
  for (std::size_t i = 0; i + 3 <= reads.size(); i += 3) {
    const LONG list[3] = {LONG(reads[i + 2] % 9), LONG(reads[i] % 9), LONG(reads[i + 1] % 9)};
    float* block = nullptr;
    if (SUCCEEDED(reader.ReadInterval(LONG(reads[i]), LONG(reads[i + 1] % 40), &block, i == 3 ? list : nullptr, 3)))
      CoTaskMemFree(block);
  }
  return 0;
}
