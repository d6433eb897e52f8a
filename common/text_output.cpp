#include "common/text_output.h"

#include "common/memory.h"
#include "common/numbers.h"

static_assert(kTextOutputReserveMax >= kFixedTextMax + 64);

bool textOutputBegin(TextOutput* out, DrainFunction drain, void* context, size_t blockSize) {
  *out = TextOutput{};
  if (blockSize < kTextOutputReserveMax) blockSize = kTextOutputReserveMax;
  out->buffer = static_cast<char*>(allocateBytes(blockSize));
  if (!out->buffer) return false;
  out->capacity = blockSize;
  out->drain = drain;
  out->context = context;
  out->ok = true;
  return true;
}

void textOutputFlushBlock(TextOutput* out) {
  if (out->used > 0 && out->ok && !out->drain(out->context, out->buffer, out->used)) out->ok = false;
  out->used = 0;
}

bool textOutputEnd(TextOutput* out) {
  textOutputFlushBlock(out);
  releaseBytes(out->buffer);
  out->buffer = nullptr;
  out->capacity = 0;
  return out->ok;
}

void textOutputFixed6(TextOutput* out, double value) {
  textOutputAdvance(out, formatFixed6(value, textOutputReserve(out, kFixedTextMax)));
}

bool drainToString(void* context, const char* data, size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return true;
}
