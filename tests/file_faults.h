// The tests' file system (file_system_stand_in.cpp, linked into every test program in place of the
// platform's primitives): the platform's own primitives, which a test can make fail at a chosen
// point as a full disk, a failing device or a held target would; and waits that are counted, not
// waited. Nothing of this is in the programs.
#pragma once

// The errors the faults give, in the platform's own codes (platform/file_system.h): a full disk,
// a failing device, a file that another program holds.
extern const int kFaultDiskFull;
extern const int kFaultDevice;
extern const int kFaultHeld;
// A file or folder that is not there, as the platform says it: a missing file in a folder that
// exists, and a path through a folder that does not.
bool isNotFound(int error);
extern const int kMissingFile;
extern const int kMissingFolder;

// An armed fault strikes once, in whichever output file reaches its point first, with the error a
// full disk (writes), a failing device (flush, close) or a file held by another program (move)
// gives; the real handle is still closed and the temporary file removed.
enum class OutputFaultPoint {
  none,
  write,         // write call number `call` (counted from 1) fails, writing nothing
  shortWrite,    // that call writes only half of its bytes, and the call for the rest fails
  partialWrite,  // that call writes only half of its bytes; the calls after it succeed
  flush,         // flushing an output file's data to the disk
  close,         // closing an output file's handle
  move,          // moving a complete file onto its target: the first `call` attempts (0: all)
};
struct OutputFault {
  OutputFaultPoint point;
  int call;
};
// Arms the fault (OutputFault{} disarms) and restarts the count of write calls.
void outputFileInjectFailure(OutputFault fault);
// Write calls of output files since the last outputFileInjectFailure.
int outputFileWriteCalls();

// Makes read call number `readCall` (counted from 1 since arming) of any input file fail as a
// device that goes away does (kFaultDevice), once; 0 disarms. Either way the count of read calls restarts.
void textInputInjectReadFailure(int readCall);
// Read calls of input files since the last textInputInjectReadFailure.
int textInputReadCalls();

// Waits asked for since the last reset, and their milliseconds together.
int countedSleeps();
unsigned long long countedSleepMilliseconds();
void countedSleepsReset();

#ifdef _WIN32
// One outcome Windows documents for the swap of a save (ReplaceFileW), played instead of the real
// one: its error, whether the old file was already moved to the spare name, which of the moves
// after it fail (bit k: the k-th move, from 0, fails with ERROR_INVALID_PARAMETER), and for how
// many swaps (0: all; the later ones are Windows' own).
struct ReplacePlay {
  unsigned long error;
  bool movedAside;
  unsigned failingMoves;
  int swaps;
};
// nullptr: the real calls again. Restarts the counts of playedCalls.
void playReplaceOutcome(const ReplacePlay* play);
// Since playReplaceOutcome: the swaps that Windows made, and the new files moved onto a target
// (a plain move, which keeps nothing of the old file).
struct PlayedCalls {
  int swaps;
  int newFileMoves;
};
PlayedCalls playedCalls();
#endif
