// The decimal conversion against the C library's correctly rounded strtod (exponents, over- and
// underflow included), and the "%f" writer:
// what it writes reads back to a double that it writes the same way, and it agrees with printf.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/numbers.h"
#include "fuzz/fuzz_check.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool isDigit(const std::string& text, size_t p) { return p < text.size() && text[p] >= '0' && text[p] <= '9'; }

// The prefix that a standard conversion would use: [+-]digits[.digits] with at least one digit,
// and an exponent [eE][+-]digits when one follows.
std::string usablePrefix(const std::string& text) {
  size_t p = 0;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
  size_t digits = 0;
  while (isDigit(text, p)) ++p, ++digits;
  if (p < text.size() && text[p] == '.') {
    ++p;
    while (isDigit(text, p)) ++p, ++digits;
  }
  if (!digits) return std::string();
  if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
    size_t q = p + 1;
    if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
    if (isDigit(text, q)) {
      while (isDigit(text, q)) ++q;
      p = q;
    }
  }
  return text.substr(0, p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Field texts only ever hold digits, signs, points and exponent letters: map the bytes onto those.
  static const char kAlphabet[] = "0123456789012345678901234567890123456789+-.eE";
  std::string text;
  for (size_t i = 0; i < size; ++i) text += kAlphabet[data[i] % (sizeof kAlphabet - 1)];
  double value = parseDecimal(text.data(), text.size());
  std::string prefix = usablePrefix(text);
  double expected = prefix.empty() ? (!text.empty() && text[0] == '-' ? -0.0 : 0.0) : std::strtod(prefix.c_str(), nullptr);
  FUZZ_CHECK(sameBits(value, expected));

  char written[kFixedTextMax];
  size_t n = formatFixed6(value, written);
  if (std::isfinite(value)) {
    char reference[400];
    std::snprintf(reference, sizeof reference, "%f", value);
    FUZZ_CHECK(std::string(written, n) == reference);
    double back = parseDecimal(written, n);
    char again[kFixedTextMax];
    FUZZ_CHECK(std::string(again, formatFixed6(back, again)) == std::string(written, n));
  }
  // Raw bit patterns as doubles, too.
  if (size >= 8) {
    double raw;
    std::memcpy(&raw, data, sizeof raw);
    n = formatFixed6(raw, written);
    if (std::isfinite(raw)) {
      char reference[400];
      std::snprintf(reference, sizeof reference, "%f", raw);
      FUZZ_CHECK(std::string(written, n) == reference);
      FUZZ_CHECK(sameBits(parseDecimal(written, n), std::strtod(reference, nullptr)));
    } else {
      FUZZ_CHECK(n == 4 && (written[0] == '+' || written[0] == '-'));
    }
  }
  return 0;
}
