#include "readers/TwelveBit.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define GDR_HAVE_SHUFFLE_UNPACKER 1
#endif

namespace {

// A 12-bit two's complement number as a float.
inline float Signed12(unsigned value) { return float(int(value ^ 0x800u) - 0x800); }

// The place in the scales' period, stepped along an unpacking (which the scales need not be).
class ScalePlace {
 public:
  explicit ScalePlace(const TwelveBitScales* scales) : m_Scaled(scales != nullptr) {
    if (scales) m_Next = *scales;
  }
  bool Scaled() const { return m_Scaled; }
  // The scales of the next `count` numbers (at most 16), stepping past them.
  const float* Take(std::size_t count) {
    const float* taken = m_Next.repeated + m_Next.phase;
    for (m_Next.phase += count; m_Next.phase >= m_Next.period;) m_Next.phase -= m_Next.period;
    return taken;
  }
  void Skip(std::size_t count) {
    if (m_Scaled) Take(count);
  }
  // The scales of an unpacking that goes on from here.
  const TwelveBitScales* Rest() const { return m_Scaled ? &m_Next : nullptr; }

 private:
  bool m_Scaled;
  TwelveBitScales m_Next;  // its phase: the next number's place
};

}  // namespace

void UnpackTwelveBitScalar(const std::uint8_t* bytes, bool odd, std::size_t numbers, float* out,
                           const TwelveBitScales* scales) {
  ScalePlace place(scales);
  auto put = [&](float* to, unsigned value) {
    *to = place.Scaled() ? Signed12(value) * *place.Take(1) : Signed12(value);
  };
  std::size_t n = 0;
  if (odd && numbers > 0) {
    put(out + n++, (bytes[0] & 0x0Fu) << 8 | bytes[1]);
    bytes += 2;
  }
  for (; n + 1 < numbers; n += 2, bytes += 3) {
    put(out + n, unsigned(bytes[0]) << 4 | bytes[1] >> 4);
    put(out + n + 1, (bytes[1] & 0x0Fu) << 8 | bytes[2]);
  }
  if (n < numbers) put(out + n, unsigned(bytes[0]) << 4 | bytes[1] >> 4);
}

#if GDR_HAVE_SHUFFLE_UNPACKER
namespace {

// Eight numbers from twelve bytes per step: a byte shuffle puts the two bytes that hold each number
// into a 16-bit lane (high byte first in the file), then even lanes take their top 12 bits and odd
// lanes their low 12 bits, both sign-extended by arithmetic shifts.
__attribute__((target("ssse3,sse4.1"))) void UnpackTwelveBitShuffle(const std::uint8_t* bytes, bool odd,
                                                                    std::size_t numbers, float* out,
                                                                    const TwelveBitScales* scales) {
  ScalePlace place(scales);
  if (odd && numbers > 0) {  // the first number, in the low nibble: then the rest start on a byte
    UnpackTwelveBitScalar(bytes, true, 1, out, scales);
    place.Skip(1);
    return UnpackTwelveBitShuffle(bytes + 2, false, numbers - 1, out + 1, place.Rest());
  }
  std::size_t n = 0;
  const __m128i pairs = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  // A 16-byte load takes twelve bytes; at least 12 numbers (18 bytes) must remain.
  for (; n + 12 <= numbers; n += 8, bytes += 12) {
    // Bytes straight from a file's cached pages are far from the processor, and the loop alone
    // does not start the hardware's prefetching early enough.
    if (n % 32 == 0) __builtin_prefetch(bytes + 2048);
    const __m128i lanes = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), pairs);
    const __m128i high = _mm_srai_epi16(lanes, 4);
    const __m128i low = _mm_srai_epi16(_mm_slli_epi16(lanes, 4), 4);
    const __m128i values = _mm_blend_epi16(high, low, 0xAA);
    __m128 first = _mm_cvtepi32_ps(_mm_cvtepi16_epi32(values));
    __m128 second = _mm_cvtepi32_ps(_mm_cvtepi16_epi32(_mm_srli_si128(values, 8)));
    if (place.Scaled()) {
      const float* scale = place.Take(8);
      first = _mm_mul_ps(first, _mm_loadu_ps(scale));
      second = _mm_mul_ps(second, _mm_loadu_ps(scale + 4));
    }
    _mm_storeu_ps(out + n, first);
    _mm_storeu_ps(out + n + 4, second);
  }
  UnpackTwelveBitScalar(bytes, false, numbers - n, out + n, place.Rest());
}

// The same sixteen numbers (24 bytes) a step, each 128-bit lane taking twelve bytes as above.
__attribute__((target("avx2"))) void UnpackTwelveBitWide(const std::uint8_t* bytes, bool odd, std::size_t numbers,
                                                         float* out, const TwelveBitScales* scales) {
  ScalePlace place(scales);
  if (odd && numbers > 0) {  // the first number alone, as above
    UnpackTwelveBitScalar(bytes, true, 1, out, scales);
    place.Skip(1);
    return UnpackTwelveBitWide(bytes + 2, false, numbers - 1, out + 1, place.Rest());
  }
  std::size_t n = 0;
  const __m256i pairs = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10, 1, 0, 2, 1, 4, 3, 5, 4, 7,
                                         6, 8, 7, 10, 9, 11, 10);
  // The high lane loads bytes 12 to 27: at least 20 numbers (30 bytes) must remain.
  for (; n + 20 <= numbers; n += 16, bytes += 24) {
    if (n % 32 == 0) __builtin_prefetch(bytes + 2048);
    const __m256i raw =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(bytes + 12), reinterpret_cast<const __m128i*>(bytes));
    const __m256i lanes = _mm256_shuffle_epi8(raw, pairs);
    const __m256i values =
        _mm256_blend_epi16(_mm256_srai_epi16(lanes, 4), _mm256_srai_epi16(_mm256_slli_epi16(lanes, 4), 4), 0xAA);
    __m256 first = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm256_castsi256_si128(values)));
    __m256 second = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm256_extracti128_si256(values, 1)));
    if (place.Scaled()) {
      const float* scale = place.Take(16);
      first = _mm256_mul_ps(first, _mm256_loadu_ps(scale));
      second = _mm256_mul_ps(second, _mm256_loadu_ps(scale + 8));
    }
    _mm256_storeu_ps(out + n, first);
    _mm256_storeu_ps(out + n + 8, second);
  }
  UnpackTwelveBitShuffle(bytes, false, numbers - n, out + n, place.Rest());
}

}  // namespace
#endif

TwelveBitUnpacker ChooseTwelveBitUnpacker() {
#if GDR_HAVE_SHUFFLE_UNPACKER
  if (__builtin_cpu_supports("avx2")) return UnpackTwelveBitWide;
  if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1")) return UnpackTwelveBitShuffle;
#endif
  return UnpackTwelveBitScalar;
}
