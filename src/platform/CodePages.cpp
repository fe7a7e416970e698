#include "platform/CodePages.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined map to the C1
// control of the same value, as the Windows tables do. Every other byte is its own code point.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252ToUnicode(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? kCp1252High[byte - 0x80] : char16_t(byte);
}

// The Windows-1252 byte of a code point, or -1 when the code page lacks it.
int UnicodeToCp1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return int(codePoint);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i)
    if (kCp1252High[i] == codePoint) return int(0x80 + i);
  return -1;
}

// Writes code units into a bounded buffer, or only counts them when there is no buffer.
template <typename Unit>
class Sink {
 public:
  Sink(Unit* out, int capacity) : m_Out(out), m_Capacity(capacity) {}
  bool Put(Unit unit) {
    if (m_Out) {
      if (m_Count >= m_Capacity) return false;
      m_Out[m_Count] = unit;
    }
    ++m_Count;
    return true;
  }
  int Count() const { return m_Count; }

 private:
  Unit* m_Out;
  int m_Capacity;
  int m_Count = 0;
};

struct Decoded {
  char32_t codePoint;
  std::size_t length;  // bytes consumed
  bool valid;
};

// Decodes one UTF-8 sequence. An ill-formed one consumes its maximal valid prefix (at least one
// byte), which becomes one replacement character.
Decoded DecodeUtf8(const unsigned char* p, std::size_t available) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length;
  char32_t codePoint;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, codePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no encoded surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, codePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {0, 1, false};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= available) return {0, i, false};
    const unsigned char next = p[i];
    const bool inRange = i == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
    if (!inRange) return {0, i, false};
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  return {codePoint, length, true};
}

bool PutUtf16(Sink<WCHAR>& sink, char32_t codePoint) {
  if (codePoint < 0x10000) return sink.Put(WCHAR(codePoint));
  codePoint -= 0x10000;
  return sink.Put(WCHAR(0xD800 + (codePoint >> 10))) && sink.Put(WCHAR(0xDC00 + (codePoint & 0x3FF)));
}

bool PutUtf8(Sink<char>& sink, char32_t codePoint) {
  auto put = [&](unsigned value) { return sink.Put(static_cast<char>(value)); };
  if (codePoint < 0x80) return put(codePoint);
  if (codePoint < 0x800) return put(0xC0 | (codePoint >> 6)) && put(0x80 | (codePoint & 0x3F));
  if (codePoint < 0x10000)
    return put(0xE0 | (codePoint >> 12)) && put(0x80 | ((codePoint >> 6) & 0x3F)) && put(0x80 | (codePoint & 0x3F));
  return put(0xF0 | (codePoint >> 18)) && put(0x80 | ((codePoint >> 12) & 0x3F)) &&
         put(0x80 | ((codePoint >> 6) & 0x3F)) && put(0x80 | (codePoint & 0x3F));
}

// Resolves the -1 length convention: the text up to and including its terminating 0.
template <typename Unit>
bool ResolveLength(const Unit* text, int& count) {
  if (!text || count < -1) return false;
  if (count == -1) {
    std::size_t length = 0;
    while (text[length] != 0) ++length;
    if (length >= std::size_t(INT32_MAX)) return false;
    count = int(length) + 1;
  }
  return true;
}

}  // namespace

UINT GetACP() { return 1252; }

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* bytes, int byteCount, WCHAR* wide, int wideCount) {
  if (codePage == CP_ACP) codePage = GetACP();
  if ((codePage != CP_UTF8 && codePage != 1252) || wideCount < 0 || !ResolveLength(bytes, byteCount)) return 0;
  Sink<WCHAR> sink(wideCount == 0 ? nullptr : wide, wideCount);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  const std::size_t size = std::size_t(byteCount);
  for (std::size_t i = 0; i < size;) {
    if (codePage == 1252) {
      if (!sink.Put(Cp1252ToUnicode(p[i++]))) return 0;
      continue;
    }
    const Decoded decoded = DecodeUtf8(p + i, size - i);
    if (!decoded.valid && (flags & MB_ERR_INVALID_CHARS)) return 0;
    if (!PutUtf16(sink, decoded.valid ? decoded.codePoint : kReplacement)) return 0;
    i += decoded.length;
  }
  return sink.Count();
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, const WCHAR* wide, int wideCount, char* bytes, int byteCount,
                        const char* defaultChar, BOOL* usedDefaultChar) {
  if (codePage == CP_ACP) codePage = GetACP();
  if ((codePage != CP_UTF8 && codePage != 1252) || byteCount < 0 || !ResolveLength(wide, wideCount)) return 0;
  if (codePage == CP_UTF8 && (defaultChar || usedDefaultChar)) return 0;
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  const char replacement = defaultChar ? *defaultChar : '?';
  Sink<char> sink(byteCount == 0 ? nullptr : bytes, byteCount);
  for (int i = 0; i < wideCount; ++i) {
    if (codePage != CP_UTF8) {
      // A single-byte code page maps each UTF-16 unit: a surrogate pair takes two replacements.
      const int byte = UnicodeToCp1252(wide[i]);
      if (byte < 0 && usedDefaultChar) *usedDefaultChar = TRUE;
      if (!sink.Put(byte < 0 ? replacement : static_cast<char>(byte))) return 0;
      continue;
    }
    char32_t codePoint = wide[i];
    const bool high = codePoint >= 0xD800 && codePoint <= 0xDBFF;
    if (high && i + 1 < wideCount && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (wide[++i] - 0xDC00);
    } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
      codePoint = kReplacement;  // an unpaired surrogate
    }
    if (!PutUtf8(sink, codePoint)) return 0;
  }
  return sink.Count();
}
