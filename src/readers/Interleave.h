#pragma once
// Interleaves runs into the rows of a block: the transposition that turns channel-major
// (vectorized) samples into the point-major block.
#include <cstddef>
#include <cstdint>
#include <type_traits>
#if defined(__SSE2__)
#include <xmmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "readers/SampleNumbers.h"

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

#if defined(__x86_64__)
namespace interleave {

// Sixteen stored 16-bit numbers, or eight 32-bit ones, as floats times a scale: for 16-bit numbers
// the even-numbered ones in `r[0]` and the odd-numbered in `r[1]`, split by shifts rather than by
// the shuffles that the transposition needs.
template <typename Number>
__attribute__((target("avx2"))) inline void LoadScaled(const std::uint8_t* bytes, __m256 scale, __m256* r) {
  using namespace numbers;
  __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
  if constexpr (Number::kSize == 4) {
    if constexpr (std::is_same_v<Number, Float32BigEndian>)
      raw = _mm256_shuffle_epi8(raw, _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1, 0,
                                                      7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12));
    r[0] = _mm256_mul_ps(_mm256_castsi256_ps(raw), scale);
  } else {
    if constexpr (std::is_same_v<Number, Int16BigEndian> || std::is_same_v<Number, UInt16BigEndian>)
      raw = _mm256_or_si256(_mm256_slli_epi16(raw, 8), _mm256_srli_epi16(raw, 8));
    __m256i even, odd;
    if constexpr (std::is_same_v<Number, Int16> || std::is_same_v<Number, Int16BigEndian>) {
      even = _mm256_srai_epi32(_mm256_slli_epi32(raw, 16), 16);
      odd = _mm256_srai_epi32(raw, 16);
    } else {  // unsigned, less 0x8000
      const __m256i half = _mm256_set1_epi32(32768);
      even = _mm256_sub_epi32(_mm256_and_si256(raw, _mm256_set1_epi32(0xFFFF)), half);
      odd = _mm256_sub_epi32(_mm256_srli_epi32(raw, 16), half);
    }
    r[0] = _mm256_mul_ps(_mm256_cvtepi32_ps(even), scale);
    r[1] = _mm256_mul_ps(_mm256_cvtepi32_ps(odd), scale);
  }
}

// Rows of eight become columns. Half the steps blend in place of a shuffle, as blends run on more
// of the processor's ports.
__attribute__((target("avx2"))) inline void TransposeEight(__m256 r[8]) {
  __m256 t[8], s[8];
  for (int k = 0; k < 8; k += 2) {
    t[k] = _mm256_unpacklo_ps(r[k], r[k + 1]);
    t[k + 1] = _mm256_unpackhi_ps(r[k], r[k + 1]);
  }
  for (int k = 0; k < 8; k += 4)
    for (int h = 0; h < 2; ++h) {
      const __m256 mixed = _mm256_shuffle_ps(t[k + h], t[k + h + 2], _MM_SHUFFLE(1, 0, 3, 2));
      s[k + 2 * h] = _mm256_blend_ps(t[k + h], mixed, 0xCC);
      s[k + 2 * h + 1] = _mm256_blend_ps(t[k + h + 2], mixed, 0x33);
    }
  for (int k = 0; k < 4; ++k) {
    const __m256 mixed = _mm256_permute2f128_ps(s[k], s[k + 4], 0x21);
    r[k] = _mm256_blend_ps(s[k], mixed, 0xF0);
    r[k + 4] = _mm256_blend_ps(mixed, s[k + 4], 0xF0);
  }
}

}  // namespace interleave

// out[p × outStride + j] = Load(runs[j] + p × size) × scales[j] for j < count and p < points: the runs
// decoded, scaled and interleaved in one pass, eight runs at a time in registers. The rows of the
// next step are asked for meanwhile: the step writes a part of each of many rows, a pattern the
// processor's own prefetching does not follow. So is each run's line four lines ahead: the runs are
// short and many, and the processor's prefetching starts each one late (pages of all channels took
// half the time with it, and a window's slowest reads a third less).
template <typename Number>
__attribute__((target("avx2"))) void InterleaveScaled(const std::uint8_t* const* runs, const float* scales,
                                                      std::size_t count, std::size_t points, float* out,
                                                      std::size_t outStride) {
  constexpr std::size_t s = Number::kSize, kStep = 32 / s, kPlanes = 2 / (s / 2);
  std::size_t p = 0;
  for (; p + kStep <= points; p += kStep) {
    if (p * s % 64 == 0)
      for (std::size_t j = 0; j < count; ++j) __builtin_prefetch(runs[j] + p * s + 256);
    for (std::size_t k = 0; k < kStep; ++k) __builtin_prefetch(out + (p + kStep + k) * outStride, 1);
    std::size_t j = 0;
    for (; j + 8 <= count; j += 8) {
      // Plane q holds points p + q, p + q + kPlanes, ... of the eight runs.
      __m256 planes[kPlanes][8];
      for (std::size_t k = 0; k < 8; ++k) {
        __m256 r[2];
        interleave::LoadScaled<Number>(runs[j + k] + p * s, _mm256_set1_ps(scales[j + k]), r);
        for (std::size_t q = 0; q < kPlanes; ++q) planes[q][k] = r[q];
      }
      for (std::size_t q = 0; q < kPlanes; ++q) {
        interleave::TransposeEight(planes[q]);
        for (std::size_t k = 0; k < 8; ++k) _mm256_storeu_ps(out + (p + q + kPlanes * k) * outStride + j, planes[q][k]);
      }
    }
    for (; j < count; ++j)
      for (std::size_t k = p; k < p + kStep; ++k) out[k * outStride + j] = Number::Load(runs[j] + k * s) * scales[j];
  }
  for (; p < points; ++p)
    for (std::size_t j = 0; j < count; ++j) out[p * outStride + j] = Number::Load(runs[j] + p * s) * scales[j];
}
#endif
