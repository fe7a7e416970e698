#pragma once
// Interleaves runs of floats into the rows of a block: the transposition that turns channel-major
// (vectorized) samples into the point-major block.
#include <cstddef>
#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

// out[p × outStride + j] = runs[j × runStride + p] for j < count and p < points. Four points of four
// runs at a time, along the rows: the four rows of a step are written front to back, so that the
// stores stream as they do for multiplexed data.
inline void InterleaveRuns(const float* runs, std::size_t runStride, std::size_t count, std::size_t points, float* out,
                           std::size_t outStride) {
  std::size_t p = 0;
#if defined(__SSE2__)
  for (; p + 4 <= points; p += 4) {
    float* row = out + p * outStride;
    std::size_t j = 0;
    for (; j + 4 <= count; j += 4) {
      const float* run = runs + j * runStride + p;
      __m128 r0 = _mm_loadu_ps(run), r1 = _mm_loadu_ps(run + runStride);
      __m128 r2 = _mm_loadu_ps(run + 2 * runStride), r3 = _mm_loadu_ps(run + 3 * runStride);
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      _mm_storeu_ps(row + j, r0);
      _mm_storeu_ps(row + outStride + j, r1);
      _mm_storeu_ps(row + 2 * outStride + j, r2);
      _mm_storeu_ps(row + 3 * outStride + j, r3);
    }
    for (; j < count; ++j)
      for (std::size_t k = 0; k < 4; ++k) row[k * outStride + j] = runs[j * runStride + p + k];
  }
#endif
  for (; p < points; ++p)
    for (std::size_t j = 0; j < count; ++j) out[p * outStride + j] = runs[j * runStride + p];
}
