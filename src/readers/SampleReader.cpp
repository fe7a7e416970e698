#include "readers/SampleReader.h"

#include "readers/AsciiReader.h"
#include "readers/BinaryReader.h"

std::unique_ptr<CIntervalReader> OpenSampleReader(std::string_view dataFile, std::int32_t channels,
                                                  std::int32_t dataPoints, const std::vector<float>& resolutions,
                                                  bool complex, std::int32_t layers, const SampleLayout& layout,
                                                  HRESULT& result) {
  auto open = [&](auto reader) -> std::unique_ptr<CIntervalReader> {
    result = reader->Open(dataFile, channels, dataPoints, resolutions, complex, layers, layout);
    return reader;
  };
  if (layout.m_SampleFormat == FORMAT_ASCII) return open(std::make_unique<CASCIIReader>());
  return open(std::make_unique<CBinaryReader>());
}
