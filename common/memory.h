// Heap memory for the core. Every explicit allocation of both programs goes through these
// functions, so that a test can make any single one of them fail the way an exhausted heap does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// malloc, calloc, realloc and free with their usual contracts: nullptr when memory ran out, and a
// reallocation that fails leaves the block as it was.
void* allocateBytes(size_t size);
void* allocateZeroed(size_t count, size_t size);
void* reallocateBytes(void* block, size_t size);
void releaseBytes(void* block);

// Copies text into *target; false, with *target unchanged, when memory ran out. For the messages
// of functions that must not throw.
bool assignText(std::string* target, const char* text);

// --- test hook ----------------------------------------------------------------------------------
// A countdown for fault-injection tests; the programs never arm it. Armed, it lets `allowed` more
// allocations succeed and makes the next one fail: only that one (once), or that one and every
// later one until it is switched off (fromThenOn). Test programs that replace the global operator
// new route it through allocateBytes, so the standard library's strings and containers count too.
enum class AllocationFault { once, fromThenOn };
void failAllocationAfter(uint64_t allowed, AllocationFault mode = AllocationFault::once);
void allocationFailuresOff();
// Allocations asked for, and failures made, since the hook was last armed or switched off.
uint64_t allocationsMade();
uint64_t allocationFailuresMade();
// While paused (calls nest), allocations are neither counted nor failed: for the test stand-ins,
// whose own bookkeeping is no allocation of the program under test.
void pauseAllocationHook();
void resumeAllocationHook();
