#include "common/text_input.h"

#include <cerrno>
#include <cstring>

#include "common/memory.h"

namespace {

constexpr size_t kBlockSize = 1 << 16;
constexpr unsigned char kCtrlZ = 0x1A;

bool allocateBuffer(TextInput* in, size_t capacity) {
  in->buffer = static_cast<unsigned char*>(allocateBytes(capacity));
  in->bufferCapacity = in->buffer ? capacity : 0;
  in->ended = false;
  in->error = 0;
  return in->buffer != nullptr;
}

// Fills the buffer from the source, which may give less than asked at a time; a read error ends
// the data with its number.
size_t readSourceBlock(TextInput* in) {
  size_t got = 0;
  while (got < in->bufferCapacity) {
    int error = 0;
    int64_t n = in->source->read(in->context, in->buffer + got, in->bufferCapacity - got, &error);
    if (n <= 0) {
      if (n < 0) in->error = error ? error : EIO;
      in->ended = true;
      break;
    }
    got += static_cast<size_t>(n);
  }
  return got;
}

size_t copyMemoryBlock(TextInput* in) {
  size_t got = in->memorySize - in->memoryPos;
  if (got > in->bufferCapacity) got = in->bufferCapacity;
  if (got > 0) std::memcpy(in->buffer, in->memory + in->memoryPos, got);
  in->memoryPos += got;
  if (in->memoryPos == in->memorySize) in->ended = true;
  return got;
}

}  // namespace

bool textInputOpenSource(TextInput* in, const TextSource* source, void* context) {
  *in = TextInput{};
  if (!allocateBuffer(in, kBlockSize)) {
    source->close(context);
    return false;
  }
  in->source = source;
  in->context = context;
  return true;
}

bool textInputOpenMemory(TextInput* in, const void* data, size_t size) {
  *in = TextInput{};
  in->memory = static_cast<const unsigned char*>(data);
  in->memorySize = size;
  // Short texts (tests, fuzzing) need no full block.
  return allocateBuffer(in, size == 0 ? 1 : size < kBlockSize ? size : kBlockSize);
}

void textInputClose(TextInput* in) {
  if (in->source) in->source->close(in->context);
  releaseBytes(in->buffer);
  *in = TextInput{};
}

void textInputRewind(TextInput* in) {
  if (in->source) {
    int error = in->source->rewind(in->context);
    if (error != 0 && in->error == 0) in->error = error;
  }
  in->memoryPos = 0;
  in->ended = false;
}

bool textInputNext(TextInput* in, const unsigned char** data, size_t* size) {
  while (!in->ended) {
    size_t got = in->source ? readSourceBlock(in) : copyMemoryBlock(in);
    if (const void* z = std::memchr(in->buffer, kCtrlZ, got)) {
      got = static_cast<size_t>(static_cast<const unsigned char*>(z) - in->buffer);
      in->ended = true;
    }
    if (got > 0) {
      *data = in->buffer;
      *size = got;
      return true;
    }
  }
  return false;
}
