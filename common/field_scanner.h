// The field scanning rule both programs share: a comma or a line end ends a value; digits, "+",
// "-" and "." are collected; every other byte (blanks, quotes, letters, the bytes of multi-byte
// characters) is dropped. The collected text is converted with parseDecimal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/numbers.h"

enum ByteClass : uint8_t { kByteDropped, kByteKept, kByteComma, kByteLineEnd };

struct ByteClassTable {
  uint8_t of[256];
  constexpr ByteClassTable() : of() {
    for (int c = '0'; c <= '9'; ++c) of[c] = kByteKept;
    of[static_cast<unsigned char>('+')] = kByteKept;
    of[static_cast<unsigned char>('-')] = kByteKept;
    of[static_cast<unsigned char>('.')] = kByteKept;
    of[static_cast<unsigned char>(',')] = kByteComma;
    of[static_cast<unsigned char>('\n')] = kByteLineEnd;
  }
};
inline constexpr ByteClassTable kByteClass{};

// The text of the field being read. Fields of any length are kept whole, so that every value
// converts exactly; short ones stay in the inline buffer.
struct FieldText {
  char* data;
  size_t size;
  size_t capacity;
  char inlineBuffer[64];
};

inline void fieldInit(FieldText* f) {
  f->data = f->inlineBuffer;
  f->size = 0;
  f->capacity = sizeof f->inlineBuffer;
}

inline void fieldRelease(FieldText* f) {
  if (f->data != f->inlineBuffer) std::free(f->data);
  fieldInit(f);
}

// Grows the buffer; false when memory is exhausted.
bool fieldGrow(FieldText* f);

inline bool fieldAppend(FieldText* f, char c) {
  if (f->size == f->capacity && !fieldGrow(f)) return false;
  f->data[f->size++] = c;
  return true;
}

// Converts the collected text and empties it.
inline double fieldTake(FieldText* f) {
  double value = parseDecimal(f->data, f->size);
  f->size = 0;
  return value;
}
