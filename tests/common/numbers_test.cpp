#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

double parse(const std::string& text) { return parseDecimal(text.data(), text.size()); }

std::string fixed(double value) {
  char buffer[kFixedTextMax];
  return std::string(buffer, formatFixed6(value, buffer));
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ParseDecimal, StopsAtTheFirstUnusableCharacterAndKeepsTheSign) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      {"", 0.0},          {"-", -0.0},         {"+", 0.0},           {".", 0.0},
      {"-.", -0.0},       {"--5", -0.0},       {"+-5", 0.0},         {"-+5", -0.0},
      {"1.2.3", 1.2},     {"5-3", 5.0},        {"1-5", 1.0},         {"15", 15.0},
      {"-1", -1.0},       {"+2.5", 2.5},       {".5", 0.5},          {"5.", 5.0},
      {"-0", -0.0},       {"0.000", 0.0},      {"-0.000", -0.0},     {"007", 7.0},
      {"0.1", 0.1},       {"-12.5", -12.5},    {"123456789012345678901234567890", 1.2345678901234568e29},
      {"..5", 0.0},       {"-..5", -0.0},
      // Exponents: numpy's "%.18e", R and pandas' round and small values, GDAL's Float32.
      {"1e5", 1e5},       {"1.5e3", 1500.0},   {"2E-05", 2e-5},      {"-1e-3", -0.001},
      {"5.123400000000000000e+05", 512340.0}, {"-9.99999974737875164e-06", -9.99999974737875164e-06},
      {"5e+05", 500000.0}, {"5.e3", 5000.0},   {".5e1", 5.0},        {"12e", 12.0},
      {"1e+", 1.0},       {"1e-", 1.0},        {"1e5e3", 1e5},       {"1e2.5", 100.0},
      {"-e5", -0.0},      {".e5", 0.0},        {"1.000000000000000056e-01", 0.1},
      {"1e400", inf},     {"-1e400", -inf},    {"1e-400", 0.0},      {"-1e-400", -0.0},
      {"1e99999999999999999999", inf},         {"1e-99999999999999999999", 0.0},
      {"0e99999999999999999999", 0.0},         {"1e0000000000000000000000005", 1e5},
      {"1.7976931348623157e308", 1.7976931348623157e308}, {"1.7976931348623159e308", inf},
      {"4.9406564584124654e-324", 4.9406564584124654e-324}, {"2.4e-324", 0.0},
      {"0.00001e312", 1e307}, {"100000e-310", 1e-305}, {"123456789012345678901234567890e-29", 1.2345678901234568},
  };
  for (const Case& c : cases) {
    double got = parse(c.text);
    EXPECT_TRUE(sameBits(got, c.expected)) << '"' << c.text << "\" gave " << got;
  }
  // Beyond the double range: the signed infinity; below it: a signed zero.
  std::string huge(400, '9');
  EXPECT_EQ(parse(huge), inf);
  EXPECT_EQ(parse("-" + huge), -inf);
  EXPECT_EQ(parse("+" + huge + ".5"), inf);
  std::string tiny = "0." + std::string(400, '0') + "1";
  EXPECT_TRUE(sameBits(parse(tiny), 0.0));
  EXPECT_TRUE(sameBits(parse("-" + tiny), -0.0));
}

TEST(ParseDecimal, LongTextsConvertExactly) {
  // 100 000 digits whose tail decides the rounding: 0.5 ulp above 1 plus a far-away 1.
  std::string halfway = "1.00000000000000011102230246251565404236316680908203125";
  EXPECT_EQ(parse(halfway), 1.0);  // exact tie rounds to even
  std::string above = halfway + std::string(100000, '0') + "1";
  EXPECT_EQ(parse(above), std::nextafter(1.0, 2.0));
  std::string longInteger = "1" + std::string(308, '0');
  EXPECT_EQ(parse(longInteger), 1e308);
  EXPECT_EQ(parse(longInteger + ".123"), 1e308);
}

TEST(FormatFixed6, WritesSixDecimalsWithPrintfSigns) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    const char* expected;
  } cases[] = {
      {0.0, "0.000000"},
      {-0.0, "-0.000000"},
      {2.5, "2.500000"},
      {-12.5, "-12.500000"},
      {0.25, "0.250000"},
      {0.0000004, "0.000000"},
      {-0.0000004, "-0.000000"},
      {0.0000005, "0.000000"},  // the double lies just below 5e-7
      {0.0000015, "0.000002"},  // and this one just above 1.5e-6
      {2.0000025, "2.000002"},
      {0.0078125, "0.007812"},  // an exact tie goes to the even neighbour
      {0.0234375, "0.023438"},
      {-0.0078125, "-0.007812"},
      {8796093022207.9999, "8796093022208.000000"},
      {8796093022208.0, "8796093022208.000000"},
      {4.9406564584124654e-324, "0.000000"},
      {1e15, "1000000000000000.000000"},
      {123456.1234565, "123456.123457"},  // the double lies just above the tie
      {inf, "+INF"},
      {-inf, "-INF"},
      {std::numeric_limits<double>::quiet_NaN(), "+NAN"},
      {-std::numeric_limits<double>::quiet_NaN(), "-NAN"},
  };
  for (const Case& c : cases) EXPECT_EQ(fixed(c.value), c.expected) << c.value;
  EXPECT_EQ(fixed(1e308).size(), 309u + 7u);
  EXPECT_EQ(fixed(-std::numeric_limits<double>::max()).size(), kFixedTextMax);
}

// What "%f" writes reads back to the nearest double of that text, and formats to the same text.
TEST(FormatFixed6, RoundTripsThroughParse) {
  std::mt19937_64 rng(20261207);
  std::uniform_int_distribution<int> exponent(-30, 60);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  for (int n = 0; n < 200000; ++n) {
    double value = std::ldexp(mantissa(rng), exponent(rng));
    std::string text = fixed(value);
    double back = parse(text);
    EXPECT_EQ(fixed(back), text);
    if (std::fabs(value) >= 1e-6) {
      EXPECT_EQ(std::signbit(back), std::signbit(value)) << text;
    }
  }
}

#ifndef _WIN32
// glibc's printf and strtod are exact; the Windows runtime's are not, so compare natively only.
TEST(Numbers, AgreeWithTheCLibraryOnRandomSamples) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<uint64_t> bits;
  char reference[512];
  for (int n = 0; n < 300000; ++n) {
    uint64_t b = bits(rng);
    double value;
    std::memcpy(&value, &b, sizeof value);
    if (!std::isfinite(value) || std::fabs(value) > 1e40) value = std::ldexp(static_cast<double>(b >> 11), n % 2 ? -40 : -(n % 60));
    if (n % 7 == 0) value = static_cast<double>(b % 100000000) / 128.0;  // many exact ties
    std::snprintf(reference, sizeof reference, "%f", value);
    ASSERT_EQ(fixed(value), reference);
  }
  std::uniform_int_distribution<int> length(1, 40);
  std::uniform_int_distribution<int> digit(0, 9);
  for (int n = 0; n < 300000; ++n) {
    std::string text = n % 2 ? "-" : "";
    int integerDigits = length(rng) - 1, fractionDigits = length(rng) - 1;
    for (int d = 0; d < integerDigits; ++d) text += static_cast<char>('0' + digit(rng));
    text += '.';
    for (int d = 0; d < fractionDigits; ++d) text += static_cast<char>('0' + digit(rng));
    if (integerDigits + fractionDigits == 0) continue;
    // Exponents of every size, beyond the range of doubles too.
    if (n % 3 == 0) text += (n % 2 ? "e" : "E-") + std::to_string(length(rng) * length(rng) * (n % 9 ? 1 : 9));
    ASSERT_TRUE(sameBits(parse(text), std::strtod(text.c_str(), nullptr))) << text;
  }
}
#endif

}  // namespace
