#include "common/field_scanner.h"

bool fieldGrow(FieldText* f) {
  if (f->capacity > SIZE_MAX / 2) return false;
  size_t capacity = f->capacity * 2;
  char* data = static_cast<char*>(allocateBytes(capacity));
  if (!data) return false;
  std::memcpy(data, f->data, f->size);
  if (f->data != f->inlineBuffer) releaseBytes(f->data);
  f->data = data;
  f->capacity = capacity;
  return true;
}
