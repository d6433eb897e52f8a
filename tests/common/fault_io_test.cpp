// Memory exhaustion and failing writes in the shared text streams and output files: every failure
// is told apart (memory or the file), and none of them leaves a file behind or touches the target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/text_input.h"
#include "common/text_output.h"
#include "platform/file_system.h"
#include "platform/input_file.h"
#include "platform/output_file.h"
#include "tests/common/fault_operator_new.h"
#include "tests/common/fault_support.h"
#include "tests/file_faults.h"
#include "tests/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

class FaultIo : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::path(::testing::TempDir()) / ("pv-fault-io-" + std::to_string(systemProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    target = folder / "target.txt";
    writeFile(target, "old");
  }
  void TearDown() override {
    allocationFailuresOff();
    outputFileInjectFailure(OutputFault{});
    fs::remove_all(folder);
  }
  fs::path folder, target;
};

// A stream that cannot get its buffer is out of memory, which no unreadable file is.
TEST_F(FaultIo, TextInputTellsMemoryFromAnUnreadableFile) {
  struct Case {
    const char* name;
    fs::path path;
    bool failAllocation;
    IoResult::Kind kind;
    int errorNumber;
  } cases[] = {
      {"readable file", target, false, IoResult::ok, 0},
      {"readable file, no memory for the buffer", target, true, IoResult::outOfMemory, 0},
      {"missing file", folder / "missing.txt", false, IoResult::failed, kMissingFile},
      {"missing file, no memory for the buffer", folder / "missing.txt", true, IoResult::failed, kMissingFile},
  };
  for (const Case& c : cases) {
    const std::string path = c.path.string();
    TextInput in;
    if (c.failAllocation) failAllocationAfter(0);
    IoResult opened = inputFileOpen(&in, path.c_str());
    allocationFailuresOff();
    EXPECT_EQ(opened.kind, c.kind) << c.name;
    EXPECT_EQ(opened.error, c.errorNumber) << c.name;
    if (opened.kind == IoResult::ok) textInputClose(&in);
  }
  const char bytes[] = "1,2,3\n";
  TextInput in;
  failAllocationAfter(0);
  EXPECT_FALSE(textInputOpenMemory(&in, bytes, sizeof bytes - 1));
  allocationFailuresOff();

  TextOutput out;
  std::string sink;
  failAllocationAfter(0);
  EXPECT_FALSE(textOutputBegin(&out, drainToString, &sink));
  allocationFailuresOff();
  EXPECT_FALSE(textOutputEnd(&out));  // harmless, and nothing was drained
  EXPECT_EQ(sink, "");
}

// Each allocation of a file's creation fails in turn: no handle, out of memory, nothing on disk.
TEST_F(FaultIo, OutputFileCreationOutOfMemory) {
  struct Created {
    OutputFile* file;
    IoResult result;
  };
  const std::string path = target.string();
  auto prepare = [] {};
  auto act = [&] {
    Created created{nullptr, kIoDone};
    created.file = outputFileCreate(path.c_str(), &created.result);
    return created;
  };
  failEveryAllocation("output file creation", prepare, act, [&](Created created, bool struck) {
    if (created.file) {
      EXPECT_FALSE(struck);
      outputFileDiscard(created.file);
    } else {
      EXPECT_TRUE(struck);
      EXPECT_EQ(created.result.kind, IoResult::outOfMemory);
    }
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"target.txt"});
    EXPECT_EQ(readFile(target), "old");
  });
}

// Three writes, then a commit with a fault at each write (in full, or after half of it) and at each
// step of the commit: the commit fails with the fault's message and number, removes the temporary
// file and leaves the target alone. A write that moves half its bytes and goes on, and a target
// held for a moment, commit the whole document.
TEST_F(FaultIo, OutputFileFaultsAtEveryWriteAndAtTheCommit) {
  struct Case {
    const char* name;
    OutputFault fault;
    bool writeFails;  // outputFileWrite reports the failure itself
    int errorNumber;
    int waits;  // between attempts at a held target
  } cases[] = {
      {"no fault", {OutputFaultPoint::none, 0}, false, 0, 0},
      {"first write", {OutputFaultPoint::write, 1}, true, kFaultDiskFull, 0},
      {"last write", {OutputFaultPoint::write, 3}, true, kFaultDiskFull, 0},
      {"first write, half written", {OutputFaultPoint::shortWrite, 1}, true, kFaultDiskFull, 0},
      {"second write, half written", {OutputFaultPoint::shortWrite, 2}, true, kFaultDiskFull, 0},
      {"flush", {OutputFaultPoint::flush, 0}, false, kFaultDevice, 0},
      {"close", {OutputFaultPoint::close, 0}, false, kFaultDevice, 0},
      {"move onto the target, held throughout", {OutputFaultPoint::move, 0}, false, kFaultHeld, 10},
      {"second write moves half, then goes on", {OutputFaultPoint::partialWrite, 2}, false, 0, 0},
      {"target held for two attempts", {OutputFaultPoint::move, 2}, false, 0, 2},
  };
  // Varied bytes: a write that restarted or skipped part of its block would show.
  std::string block(1000, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('A' + i * 7 % 53);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(target, "old");
    countedSleepsReset();
    IoResult created;
    outputFileInjectFailure(c.fault);
    OutputFile* file = outputFileCreate(target.string().c_str(), &created);
    ASSERT_TRUE(file) << systemErrorText(created.error);
    bool written = true;
    for (int k = 0; k < 3; ++k) written &= outputFileWrite(file, block.data(), block.size());
    EXPECT_EQ(written, !c.writeFails);
    IoResult committed = outputFileCommit(file);
    EXPECT_EQ(committed.error, c.errorNumber);
    EXPECT_EQ(countedSleeps(), c.waits);
    EXPECT_EQ(countedSleepMilliseconds(), 100ull * c.waits);
    if (c.errorNumber == 0) {
      EXPECT_EQ(committed.kind, IoResult::ok);
      EXPECT_EQ(outputFileWriteCalls(), c.fault.point == OutputFaultPoint::partialWrite ? 4 : 3);
      EXPECT_EQ(readFile(target), block + block + block);
    } else {
      EXPECT_EQ(committed.kind, IoResult::failed);
      EXPECT_EQ(readFile(target), "old");
    }
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"target.txt"});
  }
  outputFileInjectFailure(OutputFault{});
}

// A failed commit needs no memory to report its error, and still cleans up.
TEST_F(FaultIo, OutputFileCommitFailsWithoutMemory) {
  IoResult created;
  OutputFile* file = outputFileCreate(target.string().c_str(), &created);
  ASSERT_TRUE(file);
  ASSERT_TRUE(outputFileWrite(file, "new", 3));
  outputFileInjectFailure({OutputFaultPoint::move, 0});
  failAllocationAfter(0, AllocationFault::fromThenOn);
  IoResult committed = outputFileCommit(file);
  allocationFailuresOff();
  EXPECT_EQ(committed.kind, IoResult::failed);
  EXPECT_EQ(committed.error, kFaultHeld);
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(namesIn(folder), std::vector<std::string>{"target.txt"});
}

#ifdef _WIN32
// Whatever ReplaceFile and the moves after it do, the target ends named: the new file (saved),
// else the old one; only when neither can take the name do both stay, the new under its
// temporary name and the old under the spare one, and the commit names them. A target another
// program holds is tried again as a swap, never by a plain move, which would drop its security
// settings and streams; a plain move saves only where the volume cannot swap. A read-only target
// is never replaced.
TEST_F(FaultIo, WindowsReplaceEndsWithTheTargetNamed) {
  constexpr unsigned kAllMoves = ~0u;
  struct Case {
    const char* name;
    ReplacePlay play;
    bool saved;
    std::vector<std::string> left;  // contents of the folder, by name order: target, then others
    PlayedCalls calls;              // Windows' own swaps, and new files moved onto the target
    bool readOnly = false;
  } cases[] = {
      {"a sharing violation that clears on the next try", {ERROR_SHARING_VIOLATION, false, 0, 1}, true, {"new"}, {1, 0}},
      {"a sharing violation throughout", {ERROR_SHARING_VIOLATION, false, 0, 0}, false, {"old"}, {0, 0}},
      {"access denied for a moment", {ERROR_ACCESS_DENIED, false, 0, 3}, true, {"new"}, {1, 0}},
      {"replaced file not removed, then swapped", {ERROR_UNABLE_TO_REMOVE_REPLACED, false, 0, 1}, true, {"new"}, {1, 0}},
      {"both kept their names throughout", {ERROR_UNABLE_TO_MOVE_REPLACEMENT, false, 0, 0}, false, {"old"}, {0, 0}},
      {"old moved aside, put back, then swapped", {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, 0, 1}, true, {"new"}, {1, 0}},
      {"old moved aside, put back by the next try, then swapped", {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, 0b1, 1},
       true, {"new"}, {1, 0}},
      {"old moved aside and put back every time", {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, 0, 0}, false, {"old"}, {0, 0}},
      {"neither can take the name", {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, kAllMoves, 0}, false, {"old", "new"}, {0, 0}},
      {"a share refuses the swap", {ERROR_INVALID_PARAMETER, false, 0, 0}, true, {"new"}, {0, 1}},
      {"a share refuses the swap and the move", {ERROR_INVALID_PARAMETER, false, 0b1, 0}, false, {"old"}, {0, 0}},
      {"a read-only target, which Windows refuses to replace", {ERROR_ACCESS_DENIED, false, 0, 0}, false, {"old"}, {0, 0},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    writeFile(target, "old");
    if (c.readOnly) SetFileAttributesW(target.wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    playReplaceOutcome(&c.play);
    IoResult created;
    OutputFile* file = outputFileCreate(target.string().c_str(), &created);
    ASSERT_TRUE(file);
    ASSERT_TRUE(outputFileWrite(file, "new", 3));
    LeftBeside leftBeside;
    IoResult committed = outputFileCommit(file, &leftBeside);
    PlayedCalls calls = playedCalls();
    playReplaceOutcome(nullptr);
    EXPECT_EQ(committed.kind == IoResult::ok, c.saved);
    EXPECT_EQ(committed.error, c.readOnly ? ERROR_FILE_READ_ONLY : committed.error);
    EXPECT_EQ(calls.swaps, c.calls.swaps);
    EXPECT_EQ(calls.newFileMoves, c.calls.newFileMoves);
    SetFileAttributesW(target.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::vector<std::string> left;
    for (const std::string& name : namesIn(folder)) left.push_back(readFile(folder / name));
    if (!fs::exists(target)) left.insert(left.begin(), "<no target>");
    std::vector<std::string> expected = c.left;
    // Spare names end in ".old", temporary ones in ".tmp": the old file sorts first.
    if (c.left.size() == 2) expected.insert(expected.begin(), "<no target>");
    EXPECT_EQ(left, expected);
    // What is left beside the target is named, and nothing else.
    EXPECT_EQ(leftBeside.newFile ? readFile(leftBeside.newFile) : "", c.left.size() == 2 ? "new" : "");
    EXPECT_EQ(leftBeside.oldFile ? readFile(leftBeside.oldFile) : "", c.left.size() == 2 ? "old" : "");
    leftBesideRelease(&leftBeside);
  }
}
#endif

}  // namespace
