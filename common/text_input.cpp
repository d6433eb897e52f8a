#include "common/text_input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "common/memory.h"

namespace {

constexpr size_t kBlockSize = 1 << 16;
constexpr unsigned char kCtrlZ = 0x1A;

bool allocateBuffer(TextInput* in) {
  in->buffer = static_cast<unsigned char*>(allocateBytes(kBlockSize));
  in->bufferCapacity = in->buffer ? kBlockSize : 0;
  in->ended = false;
  in->failed = false;
  return in->buffer != nullptr;
}

// Drops the CR bytes of a block in place; returns the new size.
size_t dropCarriageReturns(unsigned char* data, size_t size) {
  unsigned char* cr = static_cast<unsigned char*>(std::memchr(data, '\r', size));
  if (!cr) return size;
  unsigned char* out = cr;
  unsigned char* const end = data + size;
  for (unsigned char* p = cr + 1; p < end;) {
    unsigned char* next = static_cast<unsigned char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
    if (!next) next = end;
    std::memmove(out, p, static_cast<size_t>(next - p));
    out += next - p;
    p = next + 1;
  }
  return static_cast<size_t>(out - data);
}

}  // namespace

bool textInputOpen(TextInput* in, const char* path) {
  *in = TextInput{};
  in->file = std::fopen(path, "rb");
  if (!in->file) return false;
  // Some systems open a folder for reading and fail only at the first read.
  struct stat st;
  if (fstat(fileno(in->file), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(in->file);
    in->file = nullptr;
    errno = EISDIR;
    return false;
  }
  if (!allocateBuffer(in)) {
    std::fclose(in->file);
    in->file = nullptr;
    errno = ENOMEM;  // the file is fine; the caller must not report it as unreadable
    return false;
  }
  return true;
}

bool textInputOpenMemory(TextInput* in, const void* data, size_t size) {
  *in = TextInput{};
  in->memory = static_cast<const unsigned char*>(data);
  in->memorySize = size;
  if (allocateBuffer(in)) return true;
  errno = ENOMEM;
  return false;
}

void textInputClose(TextInput* in) {
  if (in->file) std::fclose(in->file);
  releaseBytes(in->buffer);
  *in = TextInput{};
}

void textInputRewind(TextInput* in) {
  if (in->file) {
    std::clearerr(in->file);
    if (std::fseek(in->file, 0, SEEK_SET) != 0) in->failed = true;
  }
  in->memoryPos = 0;
  in->ended = false;
}

bool textInputNext(TextInput* in, const unsigned char** data, size_t* size) {
  while (!in->ended) {
    size_t got;
    if (in->file) {
      got = std::fread(in->buffer, 1, in->bufferCapacity, in->file);
      if (got < in->bufferCapacity) {
        in->ended = true;
        if (std::ferror(in->file)) in->failed = true;
      }
    } else {
      got = in->memorySize - in->memoryPos;
      if (got > in->bufferCapacity) got = in->bufferCapacity;
      if (got > 0) std::memcpy(in->buffer, in->memory + in->memoryPos, got);
      in->memoryPos += got;
      if (in->memoryPos == in->memorySize) in->ended = true;
    }
    if (const void* z = std::memchr(in->buffer, kCtrlZ, got)) {
      got = static_cast<size_t>(static_cast<const unsigned char*>(z) - in->buffer);
      in->ended = true;
    }
    got = dropCarriageReturns(in->buffer, got);
    if (got > 0) {
      *data = in->buffer;
      *size = got;
      return true;
    }
  }
  return false;
}
