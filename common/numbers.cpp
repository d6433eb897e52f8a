#include "common/numbers.h"

#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Exponents beyond it are all the same: far outside the range of doubles, whatever the digits.
constexpr int64_t kExponentCap = int64_t{1} << 40;

}  // namespace

double parseDecimal(const char* text, size_t length) {
  const char* end = text + length;
  double value;
  if (parseShortDecimal(text, end, &value)) return value;
  const char* p = text;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // from_chars takes no sign of its own here: the sign was taken above, and a second one
  // ("+-5", "--1") must give no number at all, as a standard conversion would.
  const char* digitsStart = p;
  bool anyDigit = false, nonZero = false;
  // The value is 0.d... x 10^(scale + exponent), d its first non-zero digit: beyond the range
  // of doubles that says which way.
  int64_t scale = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    anyDigit = true;
    nonZero |= *p != '0';
    scale += nonZero;
  }
  if (p < end && *p == '.') {
    for (++p; p < end && *p >= '0' && *p <= '9'; ++p) {
      anyDigit = true;
      if (!nonZero && *p == '0') --scale;
      nonZero |= *p != '0';
    }
  }
  if (!anyDigit) return negative ? -0.0 : 0.0;
  int64_t exponent = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    bool negativeExponent = q < end && *q == '-';
    if (q < end && (*q == '-' || *q == '+')) ++q;
    if (q < end && *q >= '0' && *q <= '9') {
      for (; q < end && *q >= '0' && *q <= '9'; ++q)
        if (exponent < kExponentCap) exponent = exponent * 10 + (*q - '0');
      if (negativeExponent) exponent = -exponent;
      p = q;
    }
  }
  value = 0.0;
  std::from_chars_result r = std::from_chars(digitsStart, p, value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large for a double, or so small that it rounds to zero.
    value = nonZero && scale + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (r.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes n in decimal; returns the number of digits.
[[maybe_unused]] size_t writeUnsigned(uint64_t n, char* out) {
  char buffer[20];
  char* p = buffer + sizeof buffer;
  while (n >= 100) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (n % 100), 2);
    n /= 100;
  }
  if (n >= 10) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * n, 2);
  } else {
    *--p = static_cast<char>('0' + n);
  }
  size_t size = static_cast<size_t>(buffer + sizeof buffer - p);
  std::memcpy(out, p, size);
  return size;
}

#ifdef __SIZEOF_INT128__
// Values below 2^43 in magnitude: the exact product of the double and 10^6 is rounded to an
// integer, ties to even, as the general conversion does. Returns false for other values.
bool formatSmallFixed6(double magnitude, char* out, size_t* size) {
  if (!(magnitude < 8796093022208.0)) return false;  // 2^43
  uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  int exponent = static_cast<int>(bits >> 52);
  uint64_t significand = bits & ((uint64_t{1} << 52) - 1);
  if (exponent == 0) {
    exponent = 1;  // subnormal
  } else {
    significand |= uint64_t{1} << 52;
  }
  // magnitude = significand * 2^(exponent - 1075); times 10^6 = 15625 * 2^6.
  unsigned __int128 product = static_cast<unsigned __int128>(significand) * 15625u;
  int shift = 1075 - 6 - exponent;
  uint64_t millionths;
  if (shift <= 0) {
    millionths = static_cast<uint64_t>(product << -shift);
  } else if (shift >= 100) {
    millionths = 0;  // far below half a millionth
  } else {
    millionths = static_cast<uint64_t>(product >> shift);
    unsigned __int128 rest = product & ((static_cast<unsigned __int128>(1) << shift) - 1);
    unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (millionths & 1))) ++millionths;
  }
  size_t n = writeUnsigned(millionths / 1000000, out);
  uint32_t fraction = static_cast<uint32_t>(millionths % 1000000);
  out[n] = '.';
  std::memcpy(out + n + 1, kDigitPairs + 2 * (fraction / 10000), 2);
  std::memcpy(out + n + 3, kDigitPairs + 2 * (fraction / 100 % 100), 2);
  std::memcpy(out + n + 5, kDigitPairs + 2 * (fraction % 100), 2);
  *size = n + 7;
  return true;
}
#else
bool formatSmallFixed6(double, char*, size_t*) { return false; }
#endif

}  // namespace

size_t formatFixed6(double value, char* out) {
  if (std::isinf(value) || std::isnan(value)) {
    out[0] = std::signbit(value) ? '-' : '+';
    std::memcpy(out + 1, std::isinf(value) ? "INF" : "NAN", 3);
    return 4;
  }
  // The sign without a branch: random signs would mispredict half the time.
  bool negative = std::signbit(value);
  out[0] = '-';
  char* p = out + negative;
  value = std::fabs(value);
  size_t size;
  if (formatSmallFixed6(value, p, &size)) return static_cast<size_t>(p - out) + size;
  std::to_chars_result r = std::to_chars(p, out + kFixedTextMax, value, std::chars_format::fixed, 6);
  return static_cast<size_t>(r.ptr - out);
}
