// The file system of one platform, as a handful of primitives: each is a thin wrapper around one
// system call. The output file (output_file.cpp) and the core's few questions about paths are
// built on them; posix/file_system_posix.cpp and win32/file_system_win32.cpp implement them.
// Errors are the standard library's error numbers (0 means success); nothing here allocates.
#pragma once

#include <cstddef>
#include <cstdint>

#include <cstdio>

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using SystemFile = intptr_t;

// --- primitives of the output file ------------------------------------------------------------
// Opens a target that cannot be replaced by another file (a device or a pipe) for writing in
// place: 0 with *file set; ENOTSUP when the target is an ordinary file, a folder or missing.
int systemOpenInPlace(const char* target, SystemFile* file);
// The length of the path that a save to `target` replaces (the file a symbolic link names, else
// target itself); the path and its terminating zero go into out when outSize exceeds that length.
size_t systemReplacedPath(const char* target, char* out, size_t outSize);
// Creates `path` as a new, empty file for writing (EEXIST when it exists), with the permission
// bits of `like` when that file exists.
int systemCreateNew(const char* path, const char* like, SystemFile* file);
// Writes some of the bytes (at least one unless it fails); the count written, or -1 with *error.
int64_t systemWrite(SystemFile file, const char* data, size_t size, int* error);
// Makes the written data durable; files that cannot be flushed (pipes) succeed.
int systemFlush(SystemFile file);
int systemClose(SystemFile file);
// Moves `from` onto `to`, replacing the file there in one step; a replaced file keeps what the
// system keeps of it (Windows: its security descriptor, attributes and streams). `spare`, a free
// name beside `to`, may hold the replaced file while the two swap; it is gone afterwards.
int systemReplace(const char* from, const char* to, const char* spare);
void systemRemove(const char* path);
// Waits that long; the output file's retries of a held target. In a file of its own, so that the
// tests can link a counting one in its place.
void systemSleep(unsigned milliseconds);
// A number that no other running process has: temporary names of different processes differ.
unsigned long systemProcessId();

// --- primitive of the input file --------------------------------------------------------------
// Opens path for reading in binary mode as a stream of the C library; nullptr with *error set.
std::FILE* systemOpenForReading(const char* path, int* error);

// --- questions about paths ---------------------------------------------------------------------
// True when a file or directory of that name exists.
bool pathExists(const char* path);
// True when the path opens for reading (the converter's test whether a name is taken).
bool fileOpensForReading(const char* path);
// The bytes that separate directories in the paths this platform's programs are given.
const char* directorySeparators();
