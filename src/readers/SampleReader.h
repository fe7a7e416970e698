#pragma once
// The one place that chooses a sample reader: ASCII or binary, by the layout's sample format.
#include <memory>

#include "header/SampleLayout.h"
#include "readers/IntervalReader.h"

// A reader for the layout, opened on the data file; `result` takes what its Open answered. A reader
// whose Open failed answers every read with that code.
std::unique_ptr<CIntervalReader> OpenSampleReader(std::string_view dataFile, std::int32_t channels,
                                                  std::int32_t dataPoints, const std::vector<float>& resolutions,
                                                  bool complex, std::int32_t layers, const SampleLayout& layout,
                                                  HRESULT& result);
