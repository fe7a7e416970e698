#include <gtest/gtest.h>

#include "platform/Conversions.h"

namespace {

TEST(Conversions, Utf8AndAnsiReachTheSameWideText) {
  EXPECT_EQ(Utf8ToWide("\xC2\xB5V/m\xC2\xB2"), OLESTR("\u00B5V/m\u00B2"));
  EXPECT_EQ(AnsiToWide("\xB5V/m\xB2"), OLESTR("\u00B5V/m\u00B2"));
  EXPECT_EQ(AnsiToWide("\x80\x81\x9F"), OLESTR("\u20AC\u0081\u0178"));
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), OLESTR("\U0001F600"));
  EXPECT_EQ(Utf8ToWide(""), OLESTR(""));
}

// (Windows replaces some characters by a similar one, U+0100 by "A"; those without one become "?".)
TEST(Conversions, CharactersTheAnsiCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(OLESTR("\u00B5\u20AC\u4E2Dx")), "\xB5\x80?x");
  EXPECT_EQ(WideToAnsi(OLESTR("\U0001F600")), "??");                        // one for each UTF-16 unit
  EXPECT_EQ(WideToAnsi(WideString(1, WCHAR(0xD800)) + OLESTR("a")), "?a");  // unpaired surrogate
  std::string text =
      "Gr\xC3\xB6\xC3\x9F"
      "e \xE4\xB8\xAD";
  Utf8ToAnsi(text);
  EXPECT_EQ(text,
            "Gr\xF6\xDF"
            "e ?");
}

TEST(Conversions, IllFormedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\x80"
                       "b"),
            OLESTR("a\uFFFDb"));
  EXPECT_EQ(Utf8ToWide("\xC0\x80"), OLESTR("\uFFFD\uFFFD"));  // overlong
  EXPECT_EQ(Utf8ToWide("\xE2\x82"
                       "A"),
            OLESTR("\uFFFDA"));  // truncated: one replacement
#if !defined(_WIN32)
  // One replacement for each maximal ill-formed part; the system's conversion counts these two
  // differently under Wine.
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), OLESTR("\uFFFD\uFFFD\uFFFD"));            // encoded surrogate
  EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), OLESTR("\uFFFD\uFFFD\uFFFD\uFFFD"));  // beyond U+10FFFF
#endif
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98"), OLESTR("\uFFFD"));  // cut at the end of the text
}

TEST(Conversions, DecodeUtf8PathConvertsOnlyValidMultiByteText) {
  EXPECT_EQ(DecodeUtf8Path("C:\\M\xC3\xBCller\\s01.eeg"), "C:\\M\xFCller\\s01.eeg");
  EXPECT_EQ(DecodeUtf8Path("C:\\M\xFCller\\s01.eeg"), "C:\\M\xFCller\\s01.eeg");  // ANSI stays
  EXPECT_EQ(DecodeUtf8Path("plain/s01.eeg"), "plain/s01.eeg");
  EXPECT_EQ(DecodeUtf8Path("\xE4\xB8\xAD.eeg"), "?.eeg");
  EXPECT_EQ(DecodeUtf8Path("\xC3"), "\xC3");
}

}  // namespace
