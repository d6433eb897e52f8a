// The fault-injection loops that the tests of both programs share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/memory.h"

// Defined by tests/common/fault_operator_new.h in each test program.
extern bool gOperatorNewThroughHook;

inline const char* faultModeName(AllocationFault mode) {
  return mode == AllocationFault::once ? "once" : "from then on";
}

// Runs act() with allocation n failing, for n = 0, 1, 2, ... until a run completes without
// reaching the armed failure. prepare() runs before each run and check(result, struck) after it,
// both with the hook off; struck tells whether the run met its failure. Stops at the first run
// that fails a check. Returns the number of allocations that were made to fail.
template <typename Prepare, typename Act, typename Check>
uint64_t failEachAllocation(AllocationFault mode, Prepare prepare, Act act, Check check) {
  for (uint64_t n = 0;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " fails (" + faultModeName(mode) + ")");
    prepare();
    failAllocationAfter(n, mode);
    auto result = act();
    bool struck = allocationFailuresMade() > 0;
    allocationFailuresOff();
    check(result, struck);
    if (!struck || ::testing::Test::HasFailure()) return n;
  }
}

// Allocations one clean run of act() makes: all of them, or the explicit ones alone. The run is
// checked like the others.
template <typename Prepare, typename Act, typename Check>
uint64_t countAllocations(bool explicitOnly, Prepare prepare, Act act, Check check) {
  prepare();
  gOperatorNewThroughHook = !explicitOnly;
  allocationFailuresOff();
  auto result = act();
  uint64_t made = allocationsMade();
  gOperatorNewThroughHook = true;
  check(result, false);
  return made;
}

// Every allocation of a flow fails in turn, once and from then on; both loops must reach every
// allocation a clean run makes. Prints the points covered.
template <typename Prepare, typename Act, typename Check>
void failEveryAllocation(const char* scenario, Prepare prepare, Act act, Check check) {
  uint64_t all = countAllocations(false, prepare, act, check);
  uint64_t explicitOnes = countAllocations(true, prepare, act, check);
  EXPECT_GT(explicitOnes, 0u) << scenario;
  for (AllocationFault mode : {AllocationFault::once, AllocationFault::fromThenOn}) {
    uint64_t points = failEachAllocation(mode, prepare, act, check);
    if (::testing::Test::HasFailure()) return;
    EXPECT_EQ(points, all) << scenario << ", " << faultModeName(mode);
  }
  std::printf("[ points   ] %s: %llu allocations (%llu explicit, %llu in the standard library)\n", scenario,
              static_cast<unsigned long long>(all), static_cast<unsigned long long>(explicitOnes),
              static_cast<unsigned long long>(all - explicitOnes));
}
