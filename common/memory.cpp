#include "common/memory.h"

#include <cstdlib>
#include <new>

namespace {

// The test hook's state: the module's only process-wide state.
struct AllocationHook {
  bool armed;
  AllocationFault mode;
  uint64_t allowed;  // allocations still to succeed before the failure
  uint64_t made;
  uint64_t failures;
  int paused;
};
AllocationHook gHook{};

// Counts the allocation; true when the hook makes it fail.
bool hookFails() {
  if (gHook.paused > 0) return false;
  ++gHook.made;
  if (!gHook.armed) return false;
  if (gHook.allowed > 0) {
    --gHook.allowed;
    return false;
  }
  ++gHook.failures;
  if (gHook.mode == AllocationFault::once) gHook.armed = false;
  return true;
}

}  // namespace

void* allocateBytes(size_t size) { return hookFails() ? nullptr : std::malloc(size); }

void* allocateZeroed(size_t count, size_t size) { return hookFails() ? nullptr : std::calloc(count, size); }

void* reallocateBytes(void* block, size_t size) { return hookFails() ? nullptr : std::realloc(block, size); }

void releaseBytes(void* block) { std::free(block); }

bool assignText(std::string* target, const char* text) {
  try {
    *target = text;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void failAllocationAfter(uint64_t allowed, AllocationFault mode) {
  gHook = AllocationHook{true, mode, allowed, 0, 0, gHook.paused};
}

void allocationFailuresOff() { gHook = AllocationHook{false, AllocationFault::once, 0, 0, 0, gHook.paused}; }

uint64_t allocationsMade() { return gHook.made; }

uint64_t allocationFailuresMade() { return gHook.failures; }

void pauseAllocationHook() { ++gHook.paused; }

void resumeAllocationHook() { --gHook.paused; }
