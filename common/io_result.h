// How an operation on a file ended, as a value: callers tell memory exhaustion (the programs' one
// memory path) from a file that cannot be used without looking at the error's code.
#pragma once

struct IoResult {
  enum Kind { ok, failed, outOfMemory } kind;
  int error;  // failed: the system's error code (platform/file_system.h), never 0
};

constexpr IoResult kIoDone{IoResult::ok, 0};
constexpr IoResult kIoOutOfMemory{IoResult::outOfMemory, 0};
constexpr IoResult ioFailed(int error) { return IoResult{IoResult::failed, error}; }
