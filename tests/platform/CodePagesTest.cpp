#include <gtest/gtest.h>

#include "platform/CodePages.h"

namespace {

TEST(CodePages, ConversionsAndTheirFailures) {
  WCHAR wide[2] = {};
  char byte[1] = {};
  const char hash = '#';
  BOOL usedDefault = FALSE;
  const std::pair<int, int> cases[] = {
    {MultiByteToWideChar(CP_UTF8, 0, "\xC2\xB5V", 3, nullptr, 0), 2},   // the size only
    {MultiByteToWideChar(CP_UTF8, 0, "\xC2\xB5V", -1, nullptr, 0), 3},  // up to and including the 0
    {MultiByteToWideChar(CP_UTF8, 0, "ab", 2, wide, 1), 0},             // too small
    {MultiByteToWideChar(CP_UTF8, 0, "\xC2\xB5V", 3, wide, 2), 2},
    {MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, nullptr, 0), 0},
    // the lowest sequences of two, three and four bytes
    {MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80", 9, nullptr, 0), 4},
    {MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, nullptr, 0), 0},
    {WideCharToMultiByte(CP_ACP, 0, OLESTR("ab"), 2, byte, 1, nullptr, &usedDefault), 0},
#if !defined(_WIN32)
    // This platform knows two code pages. Windows refuses the next two as well; Wine lets them pass.
    {MultiByteToWideChar(932, 0, "a", 1, nullptr, 0), 0},
    {MultiByteToWideChar(CP_UTF8, 0, "a", -2, nullptr, 0), 0},
    {WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, byte, 1, &hash, nullptr), 0},
#endif
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
  EXPECT_EQ(WideString(wide, 2), OLESTR("\u00B5V"));
#if !defined(_WIN32)
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u0080"), 1, byte, 1, &hash, nullptr), 1);  // 0x80 is the euro
  EXPECT_EQ(byte[0], '#');
#endif

  char bytes[16] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u20AC\u4E2D"), 2, bytes, 4, nullptr, &usedDefault), 2);
  EXPECT_EQ(std::string(bytes, 2), "\x80?");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u4E2D"), 1, bytes, 4, &hash, &usedDefault), 1);
  EXPECT_EQ(bytes[0], '#');
  // UTF-8 from UTF-16: a pair, and an unpaired surrogate replaced.
  const WCHAR text[] = {WCHAR('a'), 0xD83D, 0xDE00, 0xDC00, 0x20AC};
  const int written = WideCharToMultiByte(CP_UTF8, 0, text, 5, bytes, 16, nullptr, nullptr);
  EXPECT_EQ(std::string(bytes, std::size_t(written)), "a\xF0\x9F\x98\x80\xEF\xBF\xBD\xE2\x82\xAC");
}

TEST(CodePages, EveryAnsiByteRoundTrips) {
  for (int byte = 1; byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    WCHAR wide = 0;
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, &in, 1, &wide, 1), 1);
    char out = 0;
    BOOL usedDefault = TRUE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &wide, 1, &out, 1, nullptr, &usedDefault), 1);
    EXPECT_EQ(out, in) << "byte " << byte;
    EXPECT_FALSE(usedDefault);
  }
}

}  // namespace
