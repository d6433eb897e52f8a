// Text-mode reading done by the core over a binary stream, the same on every platform: the first
// Ctrl-Z byte (0x1A) ends the data, and every CR byte is dropped. The dropping is the readers'
// part: the blocks keep their CR bytes, which the field scanner drops like every byte it does not
// collect and the line counts pass over, since they look at commas and LF alone. Copying every
// block around its CRs would cost more than the rest of the reading.
#pragma once

#include <cstddef>
#include <cstdio>

#include "common/io_result.h"

struct TextInput {
  FILE* file;                   // source when reading a file, else nullptr
  const unsigned char* memory;  // source when reading memory
  size_t memorySize;
  size_t memoryPos;
  unsigned char* buffer;  // one block of the data
  size_t bufferCapacity;
  bool ended;  // end of file or Ctrl-Z reached
  int error;   // a read error that ended the data early: its error number; else 0
};

// Reads a stream opened in binary mode (the platform opens files: platform/input_file.h), which
// it takes over: it is closed by textInputClose, or here when the opening fails. outOfMemory
// means the file may be fine but memory for reading it ran out; a stream that cannot be read (a
// folder, on some systems) fails here.
IoResult textInputOpenStream(TextInput* in, FILE* file);
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

// --- test hook ----------------------------------------------------------------------------------
// Makes read call number `readCall` (counted from 1 since arming) of any file input fail with EIO,
// once, as a device that goes away does; 0 disarms. The programs never arm it.
void textInputInjectReadFailure(int readCall);
// From rewind number `rewindCall` (counted from 1 since arming) of a memory input on, the input
// holds these bytes instead, as a file that another program rewrites between two passes; once.
// 0 disarms. The programs never arm it.
void textInputInjectRewrite(int rewindCall, const void* data, size_t size);
