// Invariant checks for the fuzz targets: a broken invariant is a finding, so it traps.
#pragma once

#include <cstdio>

#define FUZZ_CHECK(condition)                                                   \
  do {                                                                          \
    if (!(condition)) {                                                         \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                         \
    }                                                                           \
  } while (0)
