// The file-system primitives of the tests: the platform's own, compiled here into a namespace of
// their own, behind the fault points of file_faults.h. Every header the platform's file includes
// comes first, so that none of them lands inside that namespace.
#include "tests/file_faults.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/file_system.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide_text.h"

namespace {
const ReplacePlay* gPlay = nullptr;
int gMoves = 0;
}  // namespace

// Windows' swap and move as the armed play has them end, or as Windows does.
BOOL WINAPI playedReplaceFile(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID) {
  if (!gPlay) return ReplaceFileW(replaced, replacement, backup, flags, nullptr, nullptr);
  if (gPlay->movedAside) MoveFileExW(replaced, backup, 0);
  SetLastError(gPlay->error);
  return FALSE;
}

BOOL WINAPI playedMoveFile(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (gPlay && (gPlay->failingMoves >> gMoves++ & 1)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return MoveFileExW(from, to, flags);
}

void playReplaceOutcome(const ReplacePlay* play) {
  gPlay = play;
  gMoves = 0;
}

#define ReplaceFileW playedReplaceFile
#define MoveFileExW playedMoveFile
namespace real {
#include "platform/win32/file_system_win32.cpp"
}  // namespace real
#undef ReplaceFileW
#undef MoveFileExW
#else
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace real {
#include "platform/posix/file_system_posix.cpp"
}  // namespace real
#endif

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

int systemOpenInPlace(const char* target, SystemFile* file) { return real::systemOpenInPlace(target, file); }

size_t systemReplacedPath(const char* target, char* out, size_t outSize) {
  return real::systemReplacedPath(target, out, outSize);
}

int systemCreateNew(const char* path, const char* like, SystemFile* file) {
  return real::systemCreateNew(path, like, file);
}

int64_t systemWrite(SystemFile file, const char* data, size_t size, int* error) {
  bool thisCall = ++gWriteCalls == gFault.call;
  if (thisCall && size >= 2 && faultAt(OutputFaultPoint::shortWrite)) {
    gFault = OutputFault{OutputFaultPoint::write, gWriteCalls + 1};  // the call for the rest
    size /= 2;
  } else if (thisCall && faultAt(OutputFaultPoint::partialWrite)) {
    size -= size / 2;
  } else if (thisCall && (faultAt(OutputFaultPoint::write) || faultAt(OutputFaultPoint::shortWrite))) {
    *error = ENOSPC;
    return -1;
  }
  gWritten = file;
  return real::systemWrite(file, data, size, error);
}

int systemFlush(SystemFile file) { return faultAt(OutputFaultPoint::flush) ? EIO : real::systemFlush(file); }

int systemClose(SystemFile file) {
  int error = real::systemClose(file);
  return file == gWritten && faultAt(OutputFaultPoint::close) ? EIO : error;
}

int systemReplace(const char* from, const char* to, const char* spare) {
  if (gMoveFailures > 0) {
    --gMoveFailures;
    return EACCES;
  }
  return real::systemReplace(from, to, spare);
}

void systemRemove(const char* path) { real::systemRemove(path); }

void systemSleep(unsigned milliseconds) {
  ++gSleeps;
  gSleptMilliseconds += milliseconds;
}

unsigned long systemProcessId() { return real::systemProcessId(); }

int systemOpenRead(const char* path, SystemFile* file) { return real::systemOpenRead(path, file); }

int64_t systemRead(SystemFile file, void* data, size_t size, int* error) {
  if (gFailingRead > 0 && ++gReadCalls == gFailingRead) {
    gFailingRead = 0;
    *error = EIO;
    return -1;
  }
  return real::systemRead(file, data, size, error);
}

int systemSeekStart(SystemFile file) { return real::systemSeekStart(file); }

bool pathExists(const char* path) { return real::pathExists(path); }

bool fileOpensForReading(const char* path) { return real::fileOpensForReading(path); }

const char* directorySeparators() { return real::directorySeparators(); }
