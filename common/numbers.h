// Decimal text to double and double to "%f" text, both exact and independent of the C locale.
#pragma once

#include <cstddef>

// Longest text formatFixed6 writes: sign, 309 integer digits, point, six decimals.
constexpr size_t kFixedTextMax = 1 + 309 + 1 + 6;

// Converts the longest prefix of text[0..length) of the form [+-]digits[.digits] to the nearest
// double. A text without a number gives 0.0, or -0.0 when it starts with "-"; a value beyond
// the double range gives the infinity of its sign.
double parseDecimal(const char* text, size_t length);

// Writes value as "%f" does (six decimals, "-" also on negative zero and on negatives that round
// to zero; "+INF", "-INF", "+NAN", "-NAN"). Returns the length; out needs kFixedTextMax bytes.
size_t formatFixed6(double value, char* out);
