// Text-mode reading done by the core over a binary stream, the same on every platform: the first
// Ctrl-Z byte (0x1A) ends the data, and every CR byte is dropped. The dropping is the readers'
// part: the blocks keep their CR bytes, which the field scanner drops like every byte it does not
// collect and the line counts pass over, since they look at commas and LF alone. Copying every
// block around its CRs would cost more than the rest of the reading.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/io_result.h"

// Where the bytes of an input come from when they are not in memory: the platform's files
// (platform/input_file.h), or a test's source. context is the source's own.
struct TextSource {
  // Reads up to size bytes: the count, 0 at the end of the data, or -1 with *error set.
  int64_t (*read)(void* context, unsigned char* data, size_t size, int* error);
  // Starts again from the first byte: 0, or an error number.
  int (*rewind)(void* context);
  void (*close)(void* context);
};

struct TextInput {
  const TextSource* source;  // reading a source (a file), else nullptr
  void* context;
  const unsigned char* memory;  // reading memory
  size_t memorySize;
  size_t memoryPos;
  unsigned char* buffer;  // one block of the data
  size_t bufferCapacity;
  bool ended;  // end of the data or Ctrl-Z reached
  int error;   // a read error that ended the data early: its error number; else 0
};

// Reads from the source, which it takes over: closed by textInputClose, or here when memory for
// the buffer runs out (false).
bool textInputOpenSource(TextInput* in, const TextSource* source, void* context);
// Reads the given bytes instead of a file; they must outlive the input. False when memory for
// the buffer ran out.
bool textInputOpenMemory(TextInput* in, const void* data, size_t size);
void textInputClose(TextInput* in);
// Starts the data again from the first byte.
void textInputRewind(TextInput* in);
// Gives the next block of the data (CR bytes included); false at the end of the data.
bool textInputNext(TextInput* in, const unsigned char** data, size_t* size);

// Calls onBlock(begin, end) for each block of the data in turn until it returns false. Returns
// false when onBlock stopped the reading, true when the data ended.
template <typename OnBlock>
bool forEachBlock(TextInput* in, OnBlock&& onBlock) {
  const unsigned char* data;
  size_t size;
  while (textInputNext(in, &data, &size))
    if (!onBlock(data, data + size)) return false;
  return true;
}
