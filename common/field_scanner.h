// The field scanning rule both programs share: a comma or a line end ends a value; digits, "+",
// "-" and "." are collected, and so is an exponent letter "e" or "E" right after a collected digit
// or point once the text holds a digit (so 1e5, 2.5E-3 and numpy's 5.1234e+05 keep their
// exponents, while the letters of E139.5, 3m or a name go); every other byte (blanks, quotes,
// letters, the bytes of multi-byte characters, and the CR bytes that text mode drops) is dropped.
// "Right after" keeps code page 932 harmless: a trail byte 'E' or 'e' (ウ is 0x83 0x45) follows its
// lead byte, never a digit.
// The collected text is converted with parseDecimal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/memory.h"
#include "common/numbers.h"
#include "common/text_input.h"

// Separators come last: kind >= kByteComma ends a field; kept and exponent letters next to each
// other.
enum ByteClass : uint8_t { kByteDropped, kByteKept, kByteExponent, kByteComma, kByteLineEnd };

struct ByteClassTable {
  uint8_t of[256];
  constexpr ByteClassTable() : of() {
    for (int c = '0'; c <= '9'; ++c) of[c] = kByteKept;
    of[static_cast<unsigned char>('+')] = kByteKept;
    of[static_cast<unsigned char>('-')] = kByteKept;
    of[static_cast<unsigned char>('.')] = kByteKept;
    of[static_cast<unsigned char>('e')] = kByteExponent;
    of[static_cast<unsigned char>('E')] = kByteExponent;
    of[static_cast<unsigned char>(',')] = kByteComma;
    of[static_cast<unsigned char>('\n')] = kByteLineEnd;
  }
};
inline constexpr ByteClassTable kByteClass{};

inline bool isDecimalDigit(unsigned char c) { return static_cast<unsigned>(c - '0') < 10; }

// The text of the field being read. Fields of any length are kept whole, so that every value
// converts exactly; short ones stay in the inline buffer.
struct FieldText {
  char* data;
  size_t size;
  size_t capacity;
  bool digit;          // the text holds a decimal digit
  bool exponentReady;  // an exponent letter now would be part of the number
  char inlineBuffer[64];
};

inline void fieldInit(FieldText* f) {
  f->data = f->inlineBuffer;
  f->size = 0;
  f->capacity = sizeof f->inlineBuffer;
  f->digit = false;
  f->exponentReady = false;
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

// A kept byte: after a digit, or after a point once the text holds a digit, an exponent letter
// would be part of the number.
inline bool fieldAppendKept(FieldText* f, char c) {
  if (!fieldAppend(f, c)) return false;
  bool digit = isDecimalDigit(static_cast<unsigned char>(c));
  f->digit |= digit;
  f->exponentReady = digit || (c == '.' && f->digit);
  return true;
}

// Converts the collected text and empties it.
inline double fieldTake(FieldText* f) {
  double value = parseDecimal(f->data, f->size);
  f->size = 0;
  f->digit = false;
  f->exponentReady = false;
  return value;
}

enum class ScanEnd { endOfData, stopped, outOfMemory };

// The end of text from q that a field would keep whole, the text before q being kept already
// (digit: it holds a digit): kept bytes, and exponent letters where the field would take them.
inline const unsigned char* skipKeptText(const unsigned char* q, const unsigned char* const end, bool digit) {
  for (; q < end; ++q) {
    uint8_t kind = kByteClass.of[*q];
    if (kind == kByteKept) {
      digit |= isDecimalDigit(*q);
    } else if (kind != kByteExponent || !digit || !(isDecimalDigit(q[-1]) || q[-1] == '.')) {
      break;
    }
  }
  return q;
}

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
      if (q < end && static_cast<uint8_t>(kByteClass.of[*q] - kByteKept) <= kByteExponent - kByteKept)
        q = skipKeptText(q, end, number != nullptr);
      while (q < end && *q == '\r') ++q;  // the CR of a CR LF
      if (q < end && kByteClass.of[*q] >= kByteComma) {
        if (!number) value = parseDecimal(text, static_cast<size_t>(q - p));
        if (!onSeparator(value, kByteClass.of[*q])) return ScanEnd::stopped;
        p = q + 1;
        continue;
      }
    }
    uint8_t kind = kByteClass.of[*p];
    if (kind == kByteKept) {
      if (!fieldAppendKept(field, static_cast<char>(*p))) return ScanEnd::outOfMemory;
    } else if (kind == kByteExponent) {
      if (field->exponentReady && !fieldAppend(field, static_cast<char>(*p))) return ScanEnd::outOfMemory;
      field->exponentReady = false;
    } else if (kind != kByteDropped) {
      if (!onSeparator(fieldTake(field), kind)) return ScanEnd::stopped;
    } else if (*p != '\r') {  // text mode never sees a CR
      field->exponentReady = false;
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
