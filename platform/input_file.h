// Input files: a file opened by the platform (UTF-8 paths of any length on every platform) and
// read with the core's text-mode rules (common/text_input.h).
#pragma once

#include "common/io_result.h"
#include "common/text_input.h"

// Opens path for reading. outOfMemory means the file may be fine but memory for reading it ran
// out; a path that opens but cannot be read (a folder, on some systems) fails here.
IoResult inputFileOpen(TextInput* in, const char* path);
