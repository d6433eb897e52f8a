// The file-system primitives of the tests: the platform's own, compiled here, those with a fault
// point of file_faults.h under another name behind it. Every header the platform's file includes
// comes first, so that the renaming reaches the platform's definitions only.
#include "tests/file_faults.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/file_system.h"

#define systemWrite realSystemWrite
#define systemFlush realSystemFlush
#define systemClose realSystemClose
#define systemReplace realSystemReplace
#define systemSleep realSystemSleep
#define systemRead realSystemRead

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide_text.h"

const int kFaultDiskFull = ERROR_DISK_FULL;
const int kFaultDevice = ERROR_IO_DEVICE;
const int kFaultHeld = ERROR_SHARING_VIOLATION;
bool isNotFound(int error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }
const int kMissingFile = ERROR_FILE_NOT_FOUND;
const int kMissingFolder = ERROR_PATH_NOT_FOUND;

namespace {
const ReplacePlay* gPlay = nullptr;
int gMoves = 0, gSwapsPlayed = 0;
PlayedCalls gPlayed{};
}  // namespace

// Windows' swap and move as the armed play has them end, or as Windows does.
BOOL WINAPI playedReplaceFile(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID) {
  if (!gPlay || (gPlay->swaps > 0 && gSwapsPlayed >= gPlay->swaps)) {
    BOOL swapped = ReplaceFileW(replaced, replacement, backup, flags, nullptr, nullptr);
    gPlayed.swaps += swapped != 0;
    return swapped;
  }
  ++gSwapsPlayed;
  if (gPlay->movedAside) MoveFileExW(replaced, backup, 0);
  SetLastError(gPlay->error);
  return FALSE;
}

BOOL WINAPI playedMoveFile(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (gPlay && (gPlay->failingMoves >> gMoves++ & 1)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  BOOL moved = MoveFileExW(from, to, flags);
  size_t length = wcslen(from);
  gPlayed.newFileMoves += moved && length > 4 && wcscmp(from + length - 4, L".tmp") == 0;
  return moved;
}

void playReplaceOutcome(const ReplacePlay* play) {
  gPlay = play;
  gMoves = 0;
  gSwapsPlayed = 0;
  gPlayed = PlayedCalls{};
}

PlayedCalls playedCalls() { return gPlayed; }

#define ReplaceFileW playedReplaceFile
#define MoveFileExW playedMoveFile
#include "platform/win32/file_system_win32.cpp"
#undef ReplaceFileW
#undef MoveFileExW
#else
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/posix/file_system_posix.cpp"

const int kFaultDiskFull = ENOSPC;
const int kFaultDevice = EIO;
const int kFaultHeld = EACCES;
bool isNotFound(int error) { return error == ENOENT; }
const int kMissingFile = ENOENT;
const int kMissingFolder = ENOENT;
#endif
#undef systemWrite
#undef systemFlush
#undef systemClose
#undef systemReplace
#undef systemSleep
#undef systemRead

namespace {

OutputFault gFault{};
int gWriteCalls = 0;
int gMoveFailures = 0;  // attempts at a move still to fail
int gFailingRead = 0;
int gReadCalls = 0;
int gSleeps = 0;
unsigned long long gSleptMilliseconds = 0;
SystemFile gWritten = -1;  // the file written last: an output file's close fails, never an input's

// True, once, when the armed fault is at this point.
bool faultAt(OutputFaultPoint point) {
  if (gFault.point != point) return false;
  gFault = OutputFault{};
  return true;
}

}  // namespace

void outputFileInjectFailure(OutputFault fault) {
  gFault = fault;
  gWriteCalls = 0;
  gMoveFailures = 0;
  if (fault.point == OutputFaultPoint::move) {
    gMoveFailures = fault.call > 0 ? fault.call : INT_MAX;
    gFault = OutputFault{};
  }
}

int outputFileWriteCalls() { return gWriteCalls; }

int textInputReadCalls() { return gReadCalls; }

void textInputInjectReadFailure(int readCall) {
  gFailingRead = readCall;
  gReadCalls = 0;
}

int countedSleeps() { return gSleeps; }
unsigned long long countedSleepMilliseconds() { return gSleptMilliseconds; }
void countedSleepsReset() {
  gSleeps = 0;
  gSleptMilliseconds = 0;
}

int64_t systemWrite(SystemFile file, const char* data, size_t size, int* error) {
  bool thisCall = ++gWriteCalls == gFault.call;
  if (thisCall && size >= 2 && faultAt(OutputFaultPoint::shortWrite)) {
    gFault = OutputFault{OutputFaultPoint::write, gWriteCalls + 1};  // the call for the rest
    size /= 2;
  } else if (thisCall && faultAt(OutputFaultPoint::partialWrite)) {
    size -= size / 2;
  } else if (thisCall && (faultAt(OutputFaultPoint::write) || faultAt(OutputFaultPoint::shortWrite))) {
    *error = kFaultDiskFull;
    return -1;
  }
  gWritten = file;
  return realSystemWrite(file, data, size, error);
}

int systemFlush(SystemFile file) { return faultAt(OutputFaultPoint::flush) ? kFaultDevice : realSystemFlush(file); }

int systemClose(SystemFile file) {
  int error = realSystemClose(file);
  if (file != gWritten) return error;
  gWritten = -1;  // its number may come back for an input
  return faultAt(OutputFaultPoint::close) ? kFaultDevice : error;
}

int systemReplace(const char* from, const char* to, const char* spare) {
  if (gMoveFailures > 0) {
    --gMoveFailures;
    return kFaultHeld;
  }
  return realSystemReplace(from, to, spare);
}

void systemSleep(unsigned milliseconds) {
  ++gSleeps;
  gSleptMilliseconds += milliseconds;
}

int64_t systemRead(SystemFile file, void* data, size_t size, int* error) {
  if (++gReadCalls == gFailingRead) {
    gFailingRead = 0;
    *error = kFaultDevice;
    return -1;
  }
  return realSystemRead(file, data, size, error);
}

