#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
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

namespace {

TEST(CNumbers, NumberRunsReadAsTheCLibraryReadsThem) {
  const char* runs[] = {"1.5",
                        "-2.25",
                        "+3",
                        "1e-3",
                        "1-2",
                        "1e",
                        "1e+",
                        "-",
                        ".",
                        "e5",
                        "+-1",
                        "-+1",
                        "--5",
                        ".5",
                        "5.",
                        "1e5e3",
                        "-0",
                        "1e999",
                        "-1e999",
                        "1e-400",
                        "4.9e-324",
                        "0.1",
                        "123456789012345678901234567890",
                        "2.2250738585072011e-308",
                        "+.e1"};
  for (const char* run : runs) {
    const double expected = StrToDouble(run);
    const double got = StrToDoublePrefix(run);
    EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << run << ": " << expected << " vs " << got;
  }
  // Only the text given is read, not what follows it in memory.
  EXPECT_EQ(StrToDoublePrefix(std::string_view("12345").substr(0, 2)), 12.0);
}

}  // namespace
