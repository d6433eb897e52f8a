// Decimal text to double and double to "%f" text, both exact and independent of the C locale.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest text formatFixed6 writes: sign, 309 integer digits, point, six decimals.
constexpr size_t kFixedTextMax = 1 + 309 + 1 + 6;

// Converts the longest prefix of text[0..length) of the form [+-](digits[.[digits]] | .digits),
// followed by an optional exponent [eE][+-]digits, to the nearest double. A text without a number
// gives 0.0, or -0.0 when it starts with "-"; a value beyond the double range gives the infinity
// of its sign, one below it a zero of its sign.
double parseDecimal(const char* text, size_t length);

inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                               1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17,
                                               1e18, 1e19, 1e20, 1e21, 1e22};

// The value digits x 10^power of parseShortDecimal, where one operation rounds it correctly;
// false elsewhere.
inline bool scaleShortDecimal(uint64_t digits, int power, bool negative, double* value) {
  // numpy's "%.18e" writes 19 digits, most of them trailing zeros.
  if (digits >= (uint64_t{1} << 53)) {
    while (digits % 10 == 0) {
      digits /= 10;
      ++power;
    }
    if (digits >= (uint64_t{1} << 53)) return false;
  }
  if (power < -22 || power > 22) return false;
  double magnitude = power < 0 ? static_cast<double>(digits) / kExactPowersOfTen[-power]
                               : static_cast<double>(digits) * kExactPowersOfTen[power];
  *value = negative ? -magnitude : magnitude;
  return true;
}

// parseDecimal's fast path, for scanners that find a number's end as they go: the value of the
// longest prefix of [text, end) of the form [+-]digits[.digits][e[+-]digits] when its digits,
// without trailing zeros, form an integer below 2^53 and its power of ten lies within 10^+-22
// (both operands of digits * 10^k or digits / 10^k are then exact, so one operation rounds
// correctly). Returns where the prefix ends, or nullptr for every other text, which
// parseDecimal then converts the long way.
inline const char* parseShortDecimal(const char* text, const char* end, double* value) {
  const char* p = text;
  bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+')) ++p;
  uint64_t digits = 0;
  int count = 0, decimals = 0;
  for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p, ++count) digits = digits * 10 + static_cast<unsigned>(*p - '0');
  if (p < end && *p == '.') {
    for (++p; p < end && static_cast<unsigned>(*p - '0') < 10; ++p, ++count, ++decimals)
      digits = digits * 10 + static_cast<unsigned>(*p - '0');
  }
  if (count == 0 || count > 19) return nullptr;
  if (p < end && (*p | 0x20) == 'e') [[unlikely]] {
    const char* q = p + 1;
    bool negativeExponent = q < end && *q == '-';
    if (q < end && (*q == '-' || *q == '+')) ++q;
    const char* exponentStart = q;
    int exponent = 0;
    for (; q < end && static_cast<unsigned>(*q - '0') < 10 && q - exponentStart < 4; ++q) exponent = exponent * 10 + (*q - '0');
    if (q > exponentStart) {  // "1e" and "1e+" are 1: the letter is not part of the number
      if (q < end && static_cast<unsigned>(*q - '0') < 10) return nullptr;  // a long exponent
      decimals -= negativeExponent ? -exponent : exponent;
      p = q;
    }
    return scaleShortDecimal(digits, -decimals, negative, value) ? p : nullptr;
  }
  if (digits >= (uint64_t{1} << 53)) [[unlikely]]
    return scaleShortDecimal(digits, -decimals, negative, value) ? p : nullptr;
  double magnitude = static_cast<double>(digits) / kExactPowersOfTen[decimals];
  *value = negative ? -magnitude : magnitude;
  return p;
}

// Writes value as "%f" does (six decimals, "-" also on negative zero and on negatives that round
// to zero; "+INF", "-INF", "+NAN", "-NAN"). Returns the length; out needs kFixedTextMax bytes.
size_t formatFixed6(double value, char* out);
