// How an operation on a file ended, as a value: callers tell memory exhaustion (the programs' one
// memory path) from a file that cannot be used without looking at errno.
#pragma once

#include <cerrno>

struct IoResult {
  enum Kind { ok, failed, outOfMemory } kind;
  int error;  // the standard library's error number (for std::strerror); ENOMEM for outOfMemory
};

constexpr IoResult kIoDone{IoResult::ok, 0};
constexpr IoResult kIoOutOfMemory{IoResult::outOfMemory, ENOMEM};
// A failure with the given error number; 0 (a system that named none) becomes EIO.
constexpr IoResult ioFailed(int error) { return IoResult{IoResult::failed, error ? error : EIO}; }
