// The binary reader on arbitrary layouts (as a parsed header or a damaged store gives them),
// file bytes, intervals and channel lists.
#include <vector>

#include "FuzzInput.h"
#include "platform/ComRuntime.h"
#include "readers/BinaryReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::int32_t format = std::int32_t(input.Number(-1, 5));
  const std::int32_t channels = std::int32_t(input.Number(-1, 16));
  const std::int32_t points = std::int32_t(input.Number(0, 600));
  const bool multiplexed = input.Flag(), complex = input.Flag(), bigEndian = input.Flag();
  const std::int32_t layers = std::int32_t(input.Number(0, 3));
  const std::int32_t offset = std::int32_t(input.Number(-2, 100)), channelOffset = std::int32_t(input.Number(0, 50));
  const std::int32_t headerSize = std::int32_t(input.Number(0, 64)), segment = std::int32_t(input.Number(0, 50));
  std::vector<std::int64_t> reads;
  for (int i = 0; i < 9; ++i) reads.push_back(input.Number(-2, 700));
  std::vector<float> resolutions(std::size_t(input.Number(0, 16)), 0.25f);
  CBinaryReader reader;
  reader.Open(WriteFuzzFile("b.bin", input.Rest()), channels, points, multiplexed, resolutions, complex, layers, format,
              offset, channelOffset, bigEndian, headerSize, segment);
  for (std::size_t i = 0; i + 3 <= reads.size(); i += 3) {
    const LONG list[4] = {LONG(reads[i + 2] % 17), 0, LONG(reads[i] % 17), LONG(reads[i + 1] % 17)};
    float* block = nullptr;
    if (SUCCEEDED(reader.ReadInterval(LONG(reads[i]), LONG(reads[i + 1]), &block, i == 0 ? nullptr : list, 4)))
      CoTaskMemFree(block);
  }
  return 0;
}
