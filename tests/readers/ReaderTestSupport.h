#pragma once
// Reading a block into a vector, for the reader tests.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ComRuntime.h"
#include "readers/IntervalReader.h"

struct ReadResult {
  HRESULT result;
  std::vector<float> values;
};

inline ReadResult ReadBlock(CIntervalReader& reader, LONG position, LONG count, const std::vector<LONG>* channels,
                            std::size_t expectedFloats) {
  float* block = reinterpret_cast<float*>(std::uintptr_t(1));  // must be overwritten
  const HRESULT result = reader.ReadInterval(position, count, &block, channels ? channels->data() : nullptr,
                                             channels ? LONG(channels->size()) : 0);
  ReadResult read{result, {}};
  if (FAILED(result)) {
    EXPECT_EQ(block, nullptr) << "a failed read leaves no block";
    return read;
  }
  EXPECT_NE(block, nullptr);
  read.values.assign(block, block + expectedFloats);
  CoTaskMemFree(block);
  return read;
}
