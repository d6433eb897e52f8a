#include "common/extended_precision.h"

void useExtendedPrecision() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned short control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  constexpr unsigned short kPrecision64 = 0x0300;  // precision control bits: 64-bit mantissa
  if ((control & kPrecision64) != kPrecision64) {
    control |= kPrecision64;
    __asm__ volatile("fldcw %0" : : "m"(control));
  }
#endif
}
