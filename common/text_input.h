// Text-mode reading done by the core over a binary stream, the same on every platform:
// every CR byte is dropped and the first Ctrl-Z byte (0x1A) ends the data.
#pragma once

#include <cstddef>
#include <cstdio>

struct TextInput {
  FILE* file;                   // source when reading a file, else nullptr
  const unsigned char* memory;  // source when reading memory
  size_t memorySize;
  size_t memoryPos;
  unsigned char* buffer;  // one block of cleaned text
  size_t bufferCapacity;
  bool ended;  // end of file or Ctrl-Z reached
  bool failed; // a read error ended the data early
};

// Opens path in binary mode. Returns false with errno set when it cannot be opened; ENOMEM means
// memory ran out (for the input's buffer, or in the runtime), not that the file is unreadable.
bool textInputOpen(TextInput* in, const char* path);
// Reads the given bytes instead of a file; they must outlive the input. False (errno ENOMEM) when
// memory for the buffer ran out.
bool textInputOpenMemory(TextInput* in, const void* data, size_t size);
void textInputClose(TextInput* in);
// Starts the data again from the first byte.
void textInputRewind(TextInput* in);
// Gives the next block of text-mode data; false at the end of the data.
bool textInputNext(TextInput* in, const unsigned char** data, size_t* size);
