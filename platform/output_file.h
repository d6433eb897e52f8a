// Output files that replace their target only once complete: the document goes to a temporary
// file in the target's folder, and only a fully written, flushed file is moved onto the target.
// A failed save therefore never destroys the file that was there.
#pragma once

#include <cstddef>
#include <string>

struct OutputFile;

// Creates the temporary file beside targetPath. nullptr on failure, with the system's message.
OutputFile* outputFileCreate(const char* targetPath, std::string* error);
// Writes all bytes or returns false (the file is then doomed: commit will fail).
bool outputFileWrite(OutputFile* file, const char* data, size_t size);
// Flushes, closes and moves the file onto its target; on failure removes it. Frees the handle.
bool outputFileCommit(OutputFile* file, std::string* error);
// Closes and removes the temporary file. Frees the handle.
void outputFileDiscard(OutputFile* file);

// A drain for TextOutput (context: OutputFile*).
bool drainToOutputFile(void* context, const char* data, size_t size);
