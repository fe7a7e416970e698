#pragma once
// Interleaves four runs of floats into the rows of a block: the transposition that turns
// channel-major (vectorized) samples into the point-major block.
#include <cstddef>
#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

// out[p × outStride + i] = runs[i][p] for i < 4 and p < points.
inline void InterleaveFour(const float* const runs[4], std::size_t points, float* out, std::size_t outStride) {
  std::size_t p = 0;
#if defined(__SSE2__)
  for (; p + 4 <= points; p += 4) {
    __m128 r0 = _mm_loadu_ps(runs[0] + p), r1 = _mm_loadu_ps(runs[1] + p);
    __m128 r2 = _mm_loadu_ps(runs[2] + p), r3 = _mm_loadu_ps(runs[3] + p);
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    float* row = out + p * outStride;
    _mm_storeu_ps(row, r0);
    _mm_storeu_ps(row + outStride, r1);
    _mm_storeu_ps(row + 2 * outStride, r2);
    _mm_storeu_ps(row + 3 * outStride, r3);
  }
#endif
  for (; p < points; ++p)
    for (std::size_t i = 0; i < 4; ++i) out[p * outStride + i] = runs[i][p];
}
