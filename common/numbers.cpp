#include "common/numbers.h"

#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Most values have few digits: when the digits form an integer below 2^53 and at most 22 of them
// follow the point, both operands of digits / 10^k are exact doubles and one division gives the
// correctly rounded result.
bool fastPath(const char* p, const char* end, double* value) {
  if (end - p > 19) return false;
  uint64_t digits = 0;
  int fraction = -1;
  for (; p < end; ++p) {
    if (*p == '.') {
      fraction = 0;
      continue;
    }
    digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    if (fraction >= 0) ++fraction;
  }
  if (digits >= (uint64_t{1} << 53)) return false;
  *value = fraction > 0 ? static_cast<double>(digits) / kPowersOfTen[fraction] : static_cast<double>(digits);
  return true;
}

}  // namespace

double parseDecimal(const char* text, size_t length) {
  const char* p = text;
  const char* end = text + length;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // from_chars takes no sign of its own here: the sign was taken above, and a second one
  // ("+-5", "--1") must give no number at all, as a standard conversion would.
  double value = 0.0;
  const char* digitsStart = p;
  bool anyDigit = false;
  bool nonZeroInteger = false;
  while (p < end && *p >= '0' && *p <= '9') {
    anyDigit = true;
    nonZeroInteger |= *p != '0';
    ++p;
  }
  if (p < end && *p == '.') {
    ++p;
    while (p < end && *p >= '0' && *p <= '9') {
      anyDigit = true;
      ++p;
    }
  }
  if (anyDigit) {
    if (fastPath(digitsStart, p, &value)) return negative ? -value : value;
    std::from_chars_result r = std::from_chars(digitsStart, p, value, std::chars_format::fixed);
    if (r.ec == std::errc::result_out_of_range) {
      // Too large for a double, or so small that it rounds to zero.
      value = nonZeroInteger ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (r.ec != std::errc()) {
      value = 0.0;
    }
  }
  return negative ? -value : value;
}

size_t formatFixed6(double value, char* out) {
  if (std::isinf(value) || std::isnan(value)) {
    out[0] = std::signbit(value) ? '-' : '+';
    std::memcpy(out + 1, std::isinf(value) ? "INF" : "NAN", 3);
    return 4;
  }
  char* p = out;
  if (std::signbit(value)) {
    *p++ = '-';
    value = -value;
  }
  std::to_chars_result r = std::to_chars(p, out + kFixedTextMax, value, std::chars_format::fixed, 6);
  return static_cast<size_t>(r.ptr - out);
}
