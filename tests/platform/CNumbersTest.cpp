#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/CNumbers.h"

namespace {

TEST(CNumbers, WholeNumbersReadAsTheCLibraryReadsThem) {
  EXPECT_EQ(StrToLong("32"), 32);
  EXPECT_EQ(StrToLong("  \t-3"), -3);
  EXPECT_EQ(StrToLong("+7"), 7);
  EXPECT_EQ(StrToLong("32 channels"), 32);
  EXPECT_EQ(StrToLong("1.9"), 1);
  EXPECT_EQ(StrToLong("word"), 0);
  EXPECT_EQ(StrToLong(""), 0);
  EXPECT_EQ(StrToLong("- 5"), 0);
}

TEST(CNumbers, WholeNumbersSaturateAtThe32BitLimits) {
  EXPECT_EQ(StrToLong("2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(StrToLong("2147483648"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(StrToLong("99999999999999999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(StrToLong("-2147483649"), std::numeric_limits<std::int32_t>::min());
}

TEST(CNumbers, FractionsReadWithADotWhateverTheUserLocale) {
  const char* end = nullptr;
  EXPECT_EQ(StrToDouble("0.5"), 0.5);
  EXPECT_EQ(StrToDouble(" 1e3x", &end), 1000.0);
  EXPECT_STREQ(end, "x");
  EXPECT_EQ(StrToDouble("1,5"), 1.0);
  EXPECT_EQ(StrToDouble("none"), 0.0);
  EXPECT_TRUE(std::isinf(StrToDouble("1e999")));

  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8"}) {
    if (!std::setlocale(LC_NUMERIC, name)) continue;
    EXPECT_EQ(StrToDouble("0.25"), 0.25) << name;
    EXPECT_EQ(StrToDouble("0,25"), 0.0) << name;
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
}

}  // namespace
