// The file system of one platform, as a handful of primitives: each is a thin wrapper around one
// system call. The input and output files (input_file.cpp, output_file.cpp) and the core's few
// questions about paths are built on them; posix/ and win32/ implement them for the programs, and
// the tests link a stand-in that can make any of them fail. Paths are UTF-8. Errors are the
// system's own codes, 0 meaning success: errno values on POSIX, Windows error codes on Windows,
// which stay Windows codes until systemErrorText says them to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// --- errors ------------------------------------------------------------------------------------
// The few errors the shared code tells apart, in this platform's codes.
extern const int kSystemOutOfMemory;   // memory for the call ran out
extern const int kSystemNameTaken;     // systemCreateNew: a file of that name exists
constexpr int kSystemNotInPlace = -1;  // systemOpenInPlace: an ordinary file, a folder or nothing
// Another program holds the file for a moment (a virus scanner, the search indexer, a program
// that has it open): another try may succeed.
bool systemErrorIsHeld(int error);
// The system's message for the error, in the user's language (UTF-8, no line end).
std::string systemErrorText(int error);

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using SystemFile = intptr_t;

// --- primitives of the output file ------------------------------------------------------------
// Opens a target that cannot be replaced by another file (a device or a pipe) for writing in
// place: 0 with *file set; kSystemNotInPlace when the target is an ordinary file, a folder or
// missing.
int systemOpenInPlace(const char* target, SystemFile* file);
// The length of the path that a save to `target` replaces (the file a symbolic link names, else
// target itself); the path and its terminating zero go into out when outSize exceeds that length.
size_t systemReplacedPath(const char* target, char* out, size_t outSize);
// Creates `path` as a new, empty file for writing (kSystemNameTaken when it exists), with the permission
// bits of `like` when that file exists.
int systemCreateNew(const char* path, const char* like, SystemFile* file);
// Writes some of the bytes (at least one unless it fails); the count written, or -1 with *error.
int64_t systemWrite(SystemFile file, const char* data, size_t size, int* error);
// Makes the written data durable; files that cannot be flushed (pipes) succeed.
int systemFlush(SystemFile file);
int systemClose(SystemFile file);
// One attempt at moving `from` onto `to`, replacing the file there in one step; a replaced file
// keeps what the system keeps of it (Windows: its security descriptor, attributes and streams).
// `spare`, a free name beside `to`, holds the replaced file while the two swap and is gone after
// a replace. An attempt that failed may leave the replaced file under `spare` and `to` without a
// name (Windows' swap can end so): the next attempt puts it back first.
int systemReplace(const char* from, const char* to, const char* spare);
void systemRemove(const char* path);
// Waits that long; the output file's retries of a held target.
void systemSleep(unsigned milliseconds);
// A number that no other running process has: temporary names of different processes differ.
unsigned long systemProcessId();

// --- primitives of the input file -------------------------------------------------------------
// Opens an existing file for reading (a folder fails).
int systemOpenRead(const char* path, SystemFile* file);
// Reads up to size bytes: the count (0 at the end of the file), or -1 with *error.
int64_t systemRead(SystemFile file, void* data, size_t size, int* error);
// Goes back to the first byte.
int systemSeekStart(SystemFile file);

// --- questions about paths ---------------------------------------------------------------------
// True when a file or directory of that name exists.
bool pathExists(const char* path);
// True when the path opens for reading (the converter's test whether a name is taken).
bool fileOpensForReading(const char* path);
// The bytes that separate directories in the paths this platform's programs are given: the one
// place that decides it for the folder of TMPn.csv, the viewer's file name and save proposal and
// the batch tool's default output.
const char* directorySeparators();
// The folder of the running program, its last separator included; empty when the system does not
// say.
std::string programFolder();
