// Buffered output with text-mode line ends written by the core: every line end is CR LF on
// every platform. The bytes go to a drain (a file, or memory in tests) one block at a time.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// Takes a block of bytes; returns false when they did not all reach their destination.
using DrainFunction = bool (*)(void* context, const char* data, size_t size);

struct TextOutput {
  char* buffer;
  size_t used;
  size_t capacity;
  DrainFunction drain;
  void* context;
  bool ok;  // false once any block failed to drain; later output is dropped
};

// The buffer a TextOutput drains in blocks of, unless it is given another size.
constexpr size_t kTextOutputBlock = 1 << 18;
// The longest run textOutputReserve hands out, and so the smallest block.
constexpr size_t kTextOutputReserveMax = 1024;

// False when memory for the buffer ran out; textOutputEnd is then harmless. A blockSize below
// kTextOutputReserveMax is raised to it.
bool textOutputBegin(TextOutput* out, DrainFunction drain, void* context, size_t blockSize = kTextOutputBlock);
// Drains what is buffered and releases the buffer; returns whether every byte was drained.
bool textOutputEnd(TextOutput* out);
void textOutputFlushBlock(TextOutput* out);

inline void textOutputBytes(TextOutput* out, const char* data, size_t size) {
  if (out->capacity - out->used < size) {
    textOutputFlushBlock(out);
    if (size > out->capacity) {
      if (out->ok && !out->drain(out->context, data, size)) out->ok = false;
      return;
    }
  }
  std::memcpy(out->buffer + out->used, data, size);
  out->used += size;
}

// Room for `size` bytes (at most kTextOutputReserveMax) right after the buffered text, draining the
// buffer first when it has less. Write into it, then keep what was written with textOutputAdvance;
// bytes beyond that are scratch and never drained.
inline char* textOutputReserve(TextOutput* out, size_t size) {
  if (out->capacity - out->used < size) textOutputFlushBlock(out);
  return out->buffer + out->used;
}

// Keeps the first `used` bytes of the room the last textOutputReserve gave.
inline void textOutputAdvance(TextOutput* out, size_t used) { out->used += used; }

inline void textOutputText(TextOutput* out, const char* text) {
  textOutputBytes(out, text, std::strlen(text));
}

inline void textOutputLineEnd(TextOutput* out) { textOutputBytes(out, "\r\n", 2); }

// Writes value in "%f" form.
void textOutputFixed6(TextOutput* out, double value);

// A drain that appends to a std::string (context), for tests and in-memory documents.
bool drainToString(void* context, const char* data, size_t size);
