#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "platform/CNumbers.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Whole numbers saturate at the 32-bit limits, fractions read as decimal numbers only (here what the
// randomized comparison with the C library below cannot reach: other letters, texts longer than it
// writes, rare values, a part of a longer text), and doubles round to the nearest float.
TEST(CNumbers, WholeNumbersFractionsAndFloats) {
  constexpr float kMax = std::numeric_limits<float>::max(), kFloatInf = std::numeric_limits<float>::infinity();
  const std::pair<double, double> cases[] = {
      {StrToLong("2147483647"), 2147483647},
      {StrToLong("99999999999999999999999"), 2147483647},
      {StrToLong("-2147483649"), std::numeric_limits<std::int32_t>::min()},
      {ReadDecimal("0x10"), 0.0},
      {ReadDecimal("inf"), 0.0},
      {ReadDecimal("nan"), 0.0},
      {ReadDecimal("2.2250738585072011e-308"), 2.2250738585072011e-308},
      {ReadDecimal("4.9e-324"), 4.9e-324},
      {ReadDecimal("-1" + std::string(310, '0')), -kInf},
      {ReadDecimal("0." + std::string(330, '0') + "1"), 0.0},
      {ReadDecimal(std::string_view("12345").substr(0, 2)), 12.0},
      {StrToDouble(" \t1e3x"), 1000.0},
      {StrToDouble("  "), 0.0},
      {ToFloat32(0x1.fffffefffffffp127), kMax},
      {ToFloat32(-3.4028235e38), -kMax},
      {ToFloat32(0x1.ffffffp127), kFloatInf},
      {ToFloat32(-0x1.ffffffp127), -kFloatInf},
      {ToFloat32(0.1), 0.1f},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(std::memcmp(&cases[i].first, &cases[i].second, sizeof(double)), 0) << "case " << i;
  const char* end = nullptr;
  EXPECT_EQ(StrToLong(" -32 channels", &end), -32);
  EXPECT_STREQ(end, " channels");
  std::size_t used = 0;
  EXPECT_EQ(ReadDecimal("12345678901234567890,5", ',', &used), 12345678901234567890.5);
  EXPECT_EQ(used, 22u);
}

#if !defined(_WIN32)
// Random decimal texts read bit for bit, and as far, as the C library reads them, with either decimal
// symbol (the Windows runtime's reading differs, so the comparison is made here only).
TEST(CNumbers, RandomDecimalsReadAsTheCLibraryReadsThem) {
  std::mt19937_64 random(7);
  const std::string_view kCharacters = "0123456789000.,-+eE";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const std::size_t length = 1 + random() % 40;
    for (std::size_t k = 0; k < length; ++k) text += kCharacters[random() % kCharacters.size()];
    for (const char symbol : {'.', ','}) {
      std::string c = text;  // the C library's point is "."; with "," as the symbol both are points
      if (symbol == ',') std::replace(c.begin(), c.end(), ',', '.');
      char* end = nullptr;
      const double expected = std::strtod(c.c_str(), &end);
      std::size_t used = 99;
      const double value = ReadDecimal(text, symbol, &used);
      EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text << ": " << value << " vs " << expected;
      EXPECT_EQ(used, std::size_t(end - c.c_str())) << text << " with " << symbol;
    }
  }
}
#endif

}  // namespace
