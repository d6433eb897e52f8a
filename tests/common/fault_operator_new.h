// Replaces the global operator new and delete of a test program so that they allocate through the
// allocation hook: with the hook armed, the strings and containers of the code under test fail
// like its explicit allocations do. Include it in exactly one source file of each test program.
#pragma once

#include <cstdlib>
#include <new>

#include "common/memory.h"

// Off: operator new bypasses the hook, so that a test can count the explicit allocations alone.
bool gOperatorNewThroughHook = true;

namespace fault_operator_new {
inline void* allocate(std::size_t size) {
  if (size == 0) size = 1;
  return gOperatorNewThroughHook ? allocateBytes(size) : std::malloc(size);
}
}  // namespace fault_operator_new

void* operator new(std::size_t size) {
  if (void* block = fault_operator_new::allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* block = fault_operator_new::allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return fault_operator_new::allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return fault_operator_new::allocate(size); }
void operator delete(void* block) noexcept { releaseBytes(block); }
void operator delete[](void* block) noexcept { releaseBytes(block); }
void operator delete(void* block, std::size_t) noexcept { releaseBytes(block); }
void operator delete[](void* block, std::size_t) noexcept { releaseBytes(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { releaseBytes(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { releaseBytes(block); }
