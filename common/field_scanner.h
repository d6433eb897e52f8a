// The field scanning rule both programs share: a comma or a line end ends a value; digits, "+",
// "-" and "." are collected; every other byte (blanks, quotes, letters, the bytes of multi-byte
// characters, and the CR bytes that text mode drops) is dropped. The collected text is converted
// with parseDecimal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/memory.h"
#include "common/numbers.h"
#include "common/text_input.h"

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
  if (f->data != f->inlineBuffer) releaseBytes(f->data);
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

enum class ScanEnd { endOfData, stopped, outOfMemory };

// Scans one block: fields that a separator ends go to onSeparator; the text of a field that the
// block leaves unfinished stays in *field. Returns the ScanEnd that stops the scan, or endOfData
// when the block is done.
template <typename OnSeparator>
ScanEnd scanBlock(const unsigned char* p, const unsigned char* const end, FieldText* field,
                  OnSeparator& onSeparator) {
  while (p < end) {
    if (field->size == 0) {
      // The usual field is a run of kept bytes right before its separator (or its CR LF):
      // convert it in place, most often while finding its end.
      const char* text = reinterpret_cast<const char*>(p);
      double value = 0.0;
      const char* number = parseShortDecimal(text, reinterpret_cast<const char*>(end), &value);
      const unsigned char* q = number ? reinterpret_cast<const unsigned char*>(number) : p;
      while (q < end && kByteClass.of[*q] == kByteKept) ++q;  // text the number does not use
      while (q < end && *q == '\r') ++q;                       // the CR of a CR LF
      if (q < end && kByteClass.of[*q] >= kByteComma) {
        if (!number) value = parseDecimal(text, static_cast<size_t>(q - p));
        if (!onSeparator(value, kByteClass.of[*q])) return ScanEnd::stopped;
        p = q + 1;
        continue;
      }
    }
    uint8_t kind = kByteClass.of[*p];
    if (kind == kByteKept) {
      if (!fieldAppend(field, static_cast<char>(*p))) return ScanEnd::outOfMemory;
    } else if (kind != kByteDropped) {
      if (!onSeparator(fieldTake(field), kind)) return ScanEnd::stopped;
    }
    ++p;
  }
  return ScanEnd::endOfData;
}

// Reads fields to the end of the data. onSeparator(value, kByteComma or kByteLineEnd) is called
// for every field that a separator ends and returns false to stop. The text of a field that the
// data leaves unfinished stays in *field.
template <typename OnSeparator>
ScanEnd scanFields(TextInput* in, FieldText* field, OnSeparator&& onSeparator) {
  ScanEnd result = ScanEnd::endOfData;
  forEachBlock(in, [&](const unsigned char* begin, const unsigned char* end) {
    result = scanBlock(begin, end, field, onSeparator);
    return result == ScanEnd::endOfData;
  });
  return result;
}
