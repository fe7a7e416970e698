#include <gtest/gtest.h>

#include <cstring>

#include "platform/CodePages.h"

namespace {

TEST(CodePages, TheAnsiCodePageIsWindows1252) { EXPECT_EQ(GetACP(), 1252u); }

TEST(CodePages, SizeQueryThenConversion) {
  const char* text = "\xC2\xB5V";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, nullptr, 0), 2);
  WCHAR wide[2] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, wide, 2), 2);
  EXPECT_EQ(wide[0], 0xB5);
  EXPECT_EQ(wide[1], WCHAR('V'));
  // -1 converts up to and including the terminating 0.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 3);
}

TEST(CodePages, FailuresAnswerZero) {
  WCHAR one[1] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 2, one, 1), 0);  // buffer too small
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, nullptr, 0), 0);
  char byte[1] = {};
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("ab"), 2, byte, 1, nullptr, &usedDefault), 0);
#if !defined(_WIN32)
  // This platform knows two code pages. Windows refuses the next two as well; Wine lets them pass.
  EXPECT_EQ(MultiByteToWideChar(932, 0, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a", -2, nullptr, 0), 0);
  const char defaultChar = '#';
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, byte, 1, &defaultChar, nullptr), 0);
#endif
}

TEST(CodePages, AnsiReplacementIsReportedAndCanBeChosen) {
  char bytes[4] = {};
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u20AC\u4E2D"), 2, bytes, 4, nullptr, &usedDefault), 2);
  EXPECT_EQ(std::string(bytes, 2), "\x80?");
  EXPECT_TRUE(usedDefault);
  const char hash = '#';
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u4E2D"), 1, bytes, 4, &hash, &usedDefault), 1);
  EXPECT_EQ(bytes[0], '#');
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u00FF"), 1, bytes, 4, nullptr, &usedDefault), 1);
  EXPECT_FALSE(usedDefault);
}

TEST(CodePages, EveryAnsiByteRoundTrips) {
  for (int byte = 1; byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    WCHAR wide = 0;
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, &in, 1, &wide, 1), 1);
    char out = 0;
    BOOL usedDefault = FALSE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &wide, 1, &out, 1, nullptr, &usedDefault), 1);
    EXPECT_EQ(out, in) << "byte " << byte;
    EXPECT_FALSE(usedDefault);
  }
}

TEST(CodePages, Utf16ToUtf8EncodesPairsAndReplacesUnpairedSurrogates) {
  char bytes[16] = {};
  const WCHAR text[] = {WCHAR('a'), 0xD83D, 0xDE00, 0xDC00, 0x20AC};
  const int written = WideCharToMultiByte(CP_UTF8, 0, text, 5, bytes, 16, nullptr, nullptr);
  EXPECT_EQ(std::string(bytes, std::size_t(written)), "a\xF0\x9F\x98\x80\xEF\xBF\xBD\xE2\x82\xAC");
}

}  // namespace
