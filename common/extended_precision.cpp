#include "common/extended_precision.h"

void useExtendedPrecision() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned short control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  constexpr unsigned short kPrecision64 = 0x0300;  // precision control bits: 64-bit mantissa
  constexpr unsigned short kRounding = 0x0C00;     // rounding control bits: 0 is to nearest
  unsigned short wanted = static_cast<unsigned short>((control & ~kRounding) | kPrecision64);
  if (wanted != control) __asm__ volatile("fldcw %0" : : "m"(wanted));
#endif
}
