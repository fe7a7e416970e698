#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
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

TEST(CNumbers, FractionsReadAsDecimalNumbersOnly) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* text;
    char decimalSymbol;
    double value;
    std::size_t used;
  };
  const Case cases[] = {
      {"0.5", '.', 0.5, 3},
      {"1,5", '.', 1.0, 1},
      {"1,5", ',', 1.5, 3},
      {"-2,25", ',', -2.25, 5},
      {"1.5", ',', 1.5, 3},
      {"none", '.', 0.0, 0},
      {"1e999", '.', kInf, 5},
      {"-1e999", '.', -kInf, 6},
      {"1,5e400", ',', kInf, 7},
      {"0.0001e-320", '.', 0.0, 11},
      {"-1e-400", '.', -0.0, 7},
      {"0x10", '.', 0.0, 1},
      {"0x1p-1", '.', 0.0, 1},
      {"inf", '.', 0.0, 0},
      {"infinity", '.', 0.0, 0},
      {"nan", '.', 0.0, 0},
      {"-inf", '.', 0.0, 0},
      {"4.9e-324", '.', 4.9e-324, 8},
      {".5", '.', 0.5, 2},
      {"5.", '.', 5.0, 2},
      {".", '.', 0.0, 0},
      {"+-1", '.', 0.0, 0},
      {"-+1", '.', 0.0, 0},
      {"+3", '.', 3.0, 2},
      {"1e5e3", '.', 1e5, 3},
      {"1e", '.', 1.0, 1},
      {"1e+", '.', 1.0, 1},
      {"+.e1", '.', 0.0, 0},
      {"0.1", '.', 0.1, 3},
      {"1-2", '.', 1.0, 1},
      {"123456789012345678901234567890", '.', 1.2345678901234568e29, 30},
      {"12345678901234567890,5", ',', 12345678901234567890.5, 22},
      {"2.2250738585072011e-308", '.', 2.2250738585072011e-308, 23},
      {"000000000000000001.5", '.', 1.5, 20},
  };
  for (const Case& c : cases) {
    std::size_t used = 99;
    const double value = ReadDecimal(c.text, c.decimalSymbol, &used);
    EXPECT_EQ(std::memcmp(&value, &c.value, sizeof value), 0) << c.text << ": " << value;
    EXPECT_EQ(used, c.used) << c.text;
  }
  // Beyond double's range without an exponent.
  EXPECT_EQ(ReadDecimal("-1" + std::string(310, '0')), -kInf);
  EXPECT_EQ(ReadDecimal("0." + std::string(330, '0') + "1"), 0.0);
  // Only the text given is read, not what follows it in memory.
  EXPECT_EQ(ReadDecimal(std::string_view("12345").substr(0, 2)), 12.0);
  EXPECT_EQ(StrToDouble(" \t1e3x"), 1000.0);
  EXPECT_EQ(StrToDouble("  "), 0.0);

  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8"}) {
    if (!std::setlocale(LC_NUMERIC, name)) continue;
    EXPECT_EQ(StrToDouble("0.25"), 0.25) << name;
    EXPECT_EQ(StrToDouble("0,25"), 0.0) << name;
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(CNumbers, DoublesRoundToTheNearestFloat) {
  constexpr float kMax = std::numeric_limits<float>::max();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const std::pair<double, float> cases[] = {{3.4028235e38, kMax},
                                            {-3.4028235e38, -kMax},
                                            {0x1.fffffefffffffp127, kMax},
                                            {0x1.ffffffp127, kInf},
                                            {-0x1.ffffffp127, -kInf},
                                            {1e39, kInf},
                                            {0.1, 0.1f},
                                            {1e-46, 0.0f}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(ToFloat32(value), expected) << value;
}

#if !defined(_WIN32)
// Random decimal texts read bit for bit as the C library reads them (the Windows runtime's reading
// differs, so the comparison is made here only).
TEST(CNumbers, RandomDecimalsReadAsTheCLibraryReadsThem) {
  std::mt19937_64 random(7);
  const std::string_view kCharacters = "0123456789000.-+eE";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const std::size_t length = 1 + random() % 28;
    for (std::size_t k = 0; k < length; ++k) text += kCharacters[random() % kCharacters.size()];
    const double expected = std::strtod(text.c_str(), nullptr);
    const double value = ReadDecimal(text);
    EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text << ": " << value << " vs " << expected;
  }
}
#endif

}  // namespace
