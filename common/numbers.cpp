#include "common/numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

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
