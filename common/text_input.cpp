#include "common/text_input.h"

#include <cerrno>
#include <cstring>

#include "common/memory.h"

namespace {

constexpr size_t kBlockSize = 1 << 16;
constexpr unsigned char kCtrlZ = 0x1A;

// The test hooks: the read call that is to fail, and the calls made since it was armed; the
// rewind after which a memory input changes, the rewinds since, and the new bytes.
int gFailingRead = 0;
int gReadCalls = 0;
int gRewritingRewind = 0;
int gRewindCalls = 0;
const unsigned char* gRewrite = nullptr;
size_t gRewriteSize = 0;

bool allocateBuffer(TextInput* in, size_t capacity) {
  in->buffer = static_cast<unsigned char*>(allocateBytes(capacity));
  in->bufferCapacity = in->buffer ? capacity : 0;
  in->ended = false;
  in->error = 0;
  return in->buffer != nullptr;
}

// Fills the buffer from the file; a read error ends the data with its number.
size_t readFileBlock(TextInput* in) {
  if (gFailingRead > 0 && ++gReadCalls == gFailingRead) {
    gFailingRead = 0;
    in->ended = true;
    in->error = EIO;
    return 0;
  }
  errno = 0;
  size_t got = std::fread(in->buffer, 1, in->bufferCapacity, in->file);
  if (got < in->bufferCapacity) {
    in->ended = true;
    if (std::ferror(in->file)) in->error = errno ? errno : EIO;
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

IoResult textInputOpenStream(TextInput* in, FILE* file) {
  *in = TextInput{};
  in->file = file;
  // Some systems open a folder for reading and fail only at the first read: read a byte now, so
  // that such a path fails here like one that does not open.
  errno = 0;
  int first = std::getc(in->file);
  if (first == EOF && std::ferror(in->file)) {
    int error = errno;
    std::fclose(in->file);
    in->file = nullptr;
    return ioFailed(error);
  }
  if (first != EOF) std::ungetc(first, in->file);
  if (!allocateBuffer(in, kBlockSize)) {
    std::fclose(in->file);
    in->file = nullptr;
    return kIoOutOfMemory;  // the file is fine; the caller must not report it as unreadable
  }
  return kIoDone;
}

bool textInputOpenMemory(TextInput* in, const void* data, size_t size) {
  *in = TextInput{};
  in->memory = static_cast<const unsigned char*>(data);
  in->memorySize = size;
  // Short texts (tests, fuzzing) need no full block.
  return allocateBuffer(in, size == 0 ? 1 : size < kBlockSize ? size : kBlockSize);
}

void textInputClose(TextInput* in) {
  if (in->file) std::fclose(in->file);
  releaseBytes(in->buffer);
  *in = TextInput{};
}

void textInputRewind(TextInput* in) {
  if (in->file) {
    std::clearerr(in->file);
    if (std::fseek(in->file, 0, SEEK_SET) != 0 && in->error == 0) in->error = errno ? errno : EIO;
  }
  if (!in->file && gRewritingRewind > 0 && ++gRewindCalls == gRewritingRewind) {
    gRewritingRewind = 0;
    in->memory = gRewrite;
    in->memorySize = gRewriteSize;
  }
  in->memoryPos = 0;
  in->ended = false;
}

bool textInputNext(TextInput* in, const unsigned char** data, size_t* size) {
  while (!in->ended) {
    size_t got = in->file ? readFileBlock(in) : copyMemoryBlock(in);
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

void textInputInjectReadFailure(int readCall) {
  gFailingRead = readCall;
  gReadCalls = 0;
}

void textInputInjectRewrite(int rewindCall, const void* data, size_t size) {
  gRewritingRewind = rewindCall;
  gRewindCalls = 0;
  gRewrite = static_cast<const unsigned char*>(data);
  gRewriteSize = size;
}
