#include <gtest/gtest.h>

#include "platform/CodePages.h"
#include "platform/Conversions.h"

namespace {

TEST(CodePages, ConversionsAndTheirFailures) {
  WCHAR wide[2] = {};
  char byte[1] = {};
  BOOL usedDefault = FALSE;
  const std::pair<int, int> cases[] = {
    {MultiByteToWideChar(CP_UTF8, 0, "\xC2\xB5V", 3, nullptr, 0), 2},   // the size only
    {MultiByteToWideChar(CP_UTF8, 0, "\xC2\xB5V", -1, nullptr, 0), 3},  // up to and including the 0
    {MultiByteToWideChar(CP_UTF8, 0, "ab", 2, wide, 1), 0},             // too small
    {MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, nullptr, 0), 0},
    // the lowest sequences of two, three and four bytes
    {MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80", 9, nullptr, 0), 4},
    {MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, nullptr, 0), 0},
    {WideCharToMultiByte(CP_ACP, 0, OLESTR("ab"), 2, byte, 1, nullptr, &usedDefault), 0},
    {WideCharToMultiByte(CP_ACP, 0, OLESTR("\u4E2D"), 1, byte, 1, nullptr, &usedDefault), 1},
#if !defined(_WIN32)
    // This platform knows two code pages. Windows refuses the next two as well; Wine lets them pass.
    {MultiByteToWideChar(932, 0, "a", 1, nullptr, 0), 0},
    {MultiByteToWideChar(CP_UTF8, 0, "a", -2, nullptr, 0), 0},
    {WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, byte, 1, "#", nullptr), 0},
    {WideCharToMultiByte(CP_ACP, 0, OLESTR("\u0080"), 1, byte, 1, "#", nullptr), 1},  // 0x80 is the euro
#endif
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
  EXPECT_TRUE(usedDefault);
#if !defined(_WIN32)
  EXPECT_EQ(byte[0], '#');
#endif
}

// UTF-8 and ANSI reach the same UTF-16 text. Ill-formed UTF-8 gives one replacement for each maximal
// ill-formed part; characters the ANSI code page lacks become "?" (Windows replaces some by a similar
// one, U+0100 by "A").
TEST(CodePages, TextBetweenUtf8AnsiAndUtf16) {
  const std::pair<WideString, WideString> wide[] = {
    {Utf8ToWide("\xC2\xB5V/m\xC2\xB2"), OLESTR("\u00B5V/m\u00B2")},
    {AnsiToWide("\xB5V/m\xB2"), OLESTR("\u00B5V/m\u00B2")},
    {AnsiToWide("\x80\x81\x9F"), OLESTR("\u20AC\u0081\u0178")},
    {Utf8ToWide("\xF0\x9F\x98\x80"), OLESTR("\U0001F600")},
    {Utf8ToWide(""), OLESTR("")},
    {Utf8ToWide("a\200b"), OLESTR("a\uFFFDb")},
    {Utf8ToWide("\xC0\x80"), OLESTR("\uFFFD\uFFFD")},  // overlong
    {Utf8ToWide("\342\202A"), OLESTR("\uFFFDA")},      // truncated
    {Utf8ToWide("\xF0\x9F\x98"), OLESTR("\uFFFD")},    // cut at the end of the text
#if !defined(_WIN32)  // the system's conversion counts these two differently under Wine
    {Utf8ToWide("\xED\xA0\x80"), OLESTR("\uFFFD\uFFFD\uFFFD")},            // an encoded surrogate
    {Utf8ToWide("\xF4\x90\x80\x80"), OLESTR("\uFFFD\uFFFD\uFFFD\uFFFD")},  // beyond U+10FFFF
#endif
  };
  for (const auto& [got, expected] : wide) EXPECT_EQ(got, expected);
  const WCHAR pairs[] = {WCHAR('a'), 0xD83D, 0xDE00, 0xDC00, 0x20AC};  // a pair, and an unpaired surrogate
  const std::pair<std::string, std::string> narrow[] = {
      {WideToUtf8(WideString(pairs, 5)), "a\xF0\x9F\x98\x80\xEF\xBF\xBD\xE2\x82\xAC"},
      {WideToAnsi(OLESTR("\u00B5\u20AC\u4E2Dx")), "\xB5\x80?x"},
      {WideToAnsi(OLESTR("\U0001F600")), "??"},  // one for each UTF-16 unit
      {WideToAnsi(WideString(1, WCHAR(0xD800)) + OLESTR("a")), "?a"},
      {Utf8ToAnsiText("Gr\303\266\303\237e \344\270\255"), "Gr\366\337e ?"},
      {AnsiToUtf8("\xB5V"), "\xC2\xB5V"},
      // Only valid UTF-8 with a multi-byte sequence is converted as a path; an ANSI path stays.
      {DecodeUtf8Path("C:\\M\xC3\xBCller\\s01.eeg"), "C:\\M\xFCller\\s01.eeg"},
      {DecodeUtf8Path("C:\\M\xFCller\\s01.eeg"), "C:\\M\xFCller\\s01.eeg"},
      {DecodeUtf8Path("plain/s01.eeg"), "plain/s01.eeg"},
      {DecodeUtf8Path("\xE4\xB8\xAD.eeg"), "?.eeg"},
      {DecodeUtf8Path("\xC3"), "\xC3"},
  };
  for (const auto& [got, expected] : narrow) EXPECT_EQ(got, expected);
  EXPECT_TRUE(FitsAnsi("M\xC3\xBCller \xE2\x82\xAC"));
  EXPECT_FALSE(FitsAnsi("M\xC3\xBCller \xC4\x80"));
  std::string every;  // every ANSI byte but 0 goes there and back
  for (int byte = 1; byte < 256; ++byte) every += char(byte);
  EXPECT_EQ(WideToAnsi(AnsiToWide(every)), every);
}

}  // namespace
