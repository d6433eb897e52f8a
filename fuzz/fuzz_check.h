// Invariant checks for the fuzz targets: a broken invariant is a finding, so it traps.
#pragma once

#include <cstddef>
#include <cstdio>

// The harness's own checking code: no coverage feedback (its branches tell the fuzzer nothing
// about the code under test), none of the comparison tracing, and no address or undefined-behaviour
// checks on the buffers it reads, all of which would slow it down.
#define FUZZ_HARNESS __attribute__((no_sanitize("coverage", "address", "undefined")))

// Documents the targets write are small: a block of this size holds most of them, where the
// programs' large block would cost a fresh mapping per document.
constexpr size_t kFuzzOutputBlock = 4096;

#define FUZZ_CHECK(condition)                                                   \
  do {                                                                          \
    if (!(condition)) {                                                         \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                         \
    }                                                                           \
  } while (0)
