// The x87 unit's control word for the tests of extended precision, and a profile whose points a
// program that computes in double precision draws elsewhere (x86 only).
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

// Precision bits 0x300: 64-bit mantissa, 0x200: 53-bit; rounding bits 0xC00: toward zero, 0: to
// nearest.
inline void setX87Precision(unsigned short bits) {
  unsigned short control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control = static_cast<unsigned short>((control & ~0xF00) | bits);
  __asm__ volatile("fldcw %0" : : "m"(control) : "memory");
}

inline unsigned short x87Control() {
  unsigned short control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  return control & 0xF00;
}

// The product rounded with the precision given; afterwards 64 bits, to nearest. The clobbers and
// volatiles keep the multiplication between the two control-word loads.
inline long double productAt(double a, double b, unsigned short bits) {
  setX87Precision(bits);
  volatile long double x = a, y = b;
  volatile long double product = x * y;
  setX87Precision(0x300);
  return product;
}

// A two-row file: X from 0 to 1000 (in a preview area `width` wide the width governs, scale =
// width / 1000), Y alternating 0 and 700. Each inner X makes X * scale round to an integer with a
// 53-bit mantissa but stay just below it with a 64-bit one: drawn in double precision, it lands
// one column right.
inline std::string precisionProfile(int width) {
  double scale = static_cast<double>(static_cast<long double>(width) / 1000.0L);
  std::vector<double> xs{0.0};
  for (int k = 1; k < width; ++k) {
    double x = k / scale;
    for (int step = 0; step < 8; ++step, x = std::nextafter(x, 0.0))
      if (std::trunc(productAt(x, scale, 0x300)) != std::trunc(productAt(x, scale, 0x200)) && x > xs.back()) {
        xs.push_back(x);
        break;
      }
  }
  xs.push_back(1000.0);
  std::string rowX, rowY;
  for (size_t k = 0; k < xs.size(); ++k) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%.17g", k ? "," : "", xs[k]);
    rowX += text;
    rowY += (k ? "," : "") + std::to_string(k % 2 ? 700 : 0);
  }
  return rowX + "\r\n" + rowY + "\r\n";
}
#endif
