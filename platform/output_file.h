// Output files that replace their target only once complete: the document goes to a temporary
// file in the target's folder, and only a fully written, flushed file is moved onto the target.
// A failed save therefore never destroys the file that was there. None of these functions throws.
#pragma once

#include <cstddef>

#include "common/io_result.h"

struct OutputFile;

// Creates the temporary file beside targetPath. nullptr on failure, with the reason in *result
// (outOfMemory when memory ran out).
OutputFile* outputFileCreate(const char* targetPath, IoResult* result);
// Writes all bytes or returns false (the file is then doomed: commit will fail).
bool outputFileWrite(OutputFile* file, const char* data, size_t size);
// What a commit left beside its target for the user: the new file under its temporary name (the
// target's name could be given neither to it nor back to the old file) and the old file under
// its spare name (it could not be put back, or not removed after the save). Both names lie in
// one block, `names`, which leftBesideRelease frees.
struct LeftBeside {
  char* names;
  const char* newFile;  // nullptr when not left
  const char* oldFile;  // nullptr when not left
};
void leftBesideRelease(LeftBeside* left);

// Flushes, closes and moves the file onto its target; on failure removes it and gives the first
// error met. A target that another program holds for a moment (a virus scanner, the search
// indexer) is tried again for about a second. Files left beside the target go into *left when
// it is given (names nullptr when none). Frees the handle.
IoResult outputFileCommit(OutputFile* file, LeftBeside* left = nullptr);
// Closes and removes the temporary file. Frees the handle.
void outputFileDiscard(OutputFile* file);

// A drain for TextOutput (context: OutputFile*).
bool drainToOutputFile(void* context, const char* data, size_t size);
