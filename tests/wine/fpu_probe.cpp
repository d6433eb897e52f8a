// Prints the x87 control word as the runtime's start-up left it for main, and whether long double
// arithmetic then carries a 64-bit mantissa; exit status 1 when it does not.
#include <cstdio>

int main() {
  unsigned short control = 0;
#if defined(__i386__) || defined(__x86_64__)
  __asm__ volatile("fnstcw %0" : "=m"(control));
#endif
  // 1 + 2^-60 survives only with a 64-bit mantissa; volatile keeps the compiler from folding it.
  volatile long double one = 1.0L;
  volatile long double tiny = 0x1p-60L;
  long double sum = one + tiny;
  bool extended = sum != one;
  std::printf("control=0x%04x precision=%s extended=%s\n", control,
              (control & 0x300) == 0x300 ? "64" : (control & 0x300) == 0x200 ? "53" : "24", extended ? "yes" : "no");
  return extended ? 0 : 1;
}
