// A save whose file fails at any one of its writes, or while it is flushed, closed or moved onto
// its target: the error stream names the failure, the status never reads 保存完了, and the file
// that was there stays byte for byte.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/output_file.h"
#include "tests/file_faults.h"
#include "tests/viewer/viewer_test_support.h"

namespace {

const char kTarget[] = "drawing.dxf";
const char kOldDrawing[] = "the drawing saved last week\r\n";

// Documents of several output blocks for every method: an 80 x 80 grid, a profile of 20000 points.
std::string bigGrid() {
  std::string text = "XYZ";
  for (int i = 1; i < 80; ++i) text += "," + std::to_string(i * 2.5);
  text += "\n";
  for (int j = 1; j <= 80; ++j) {
    text += std::to_string(j * 3);
    for (int i = 1; i < 80; ++i) text += "," + std::to_string(i * j + 0.125);
    text += "\n";
  }
  return text;
}

std::string bigProfile() {
  std::string xs = "0", ys = "0";
  for (int k = 1; k < 20000; ++k) {
    xs += "," + std::to_string(k * 1.25);
    ys += "," + std::to_string(k % 97 * 0.5);
  }
  return xs + "\n" + ys + "\n";
}

struct Fault {
  OutputFault fault;
  int error;  // whose message the status bar and the error stream show
  std::string name;
};

// Every write of a file that took `writes` calls fails, in full or after half its bytes; then
// each step of the commit.
std::vector<Fault> everyWriteAndTheCommit(int writes) {
  std::vector<Fault> faults;
  for (int k = 1; k <= writes; ++k) {
    faults.push_back({{OutputFaultPoint::write, k}, kFaultDiskFull, "write " + std::to_string(k)});
    faults.push_back({{OutputFaultPoint::shortWrite, k}, kFaultDiskFull, "short write " + std::to_string(k)});
  }
  faults.push_back({{OutputFaultPoint::flush, 0}, kFaultDevice, "flush"});
  faults.push_back({{OutputFaultPoint::close, 0}, kFaultDevice, "close"});
  faults.push_back({{OutputFaultPoint::move, 0}, kFaultHeld, "move onto the target"});
  return faults;
}

using ViewerWriteFailure = ViewerFlowTest;

TEST_F(ViewerWriteFailure, AtEveryWriteAndAtTheCommitOfEachMethod) {
  writeFile("grid.csv", bigGrid());
  writeFile("profile.csv", bigProfile());
  struct Case {
    const char* method;
    int button;
    const char* file;
  } cases[] = {
      {"2D", ID_TWO_D, "profile.csv"},
      {"Line", ID_LINE, "grid.csv"},
      {"Mesh", ID_MESH, "grid.csv"},
      {"Face", ID_FACE, "grid.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    recordingReset();
    start("");
    clickRadio(c.button);
    load(c.file);
    const std::vector<std::string> folder = {kTarget, "grid.csv", "profile.csv"};

    // A clean save tells how many writes the document takes.
    writeFile(kTarget, kOldDrawing);
    outputFileInjectFailure(OutputFault{});
    recording().events.clear();
    save(kTarget);
    const std::vector<std::string> saved = takeEvents();  // the large-data question first, for some
    ASSERT_EQ(saved.back(), "status 保存完了");
    const int writes = outputFileWriteCalls();
    const std::string document = readFile(kTarget);
    ASSERT_GE(writes, 3) << "the document should span several output blocks";

    for (const Fault& f : everyWriteAndTheCommit(writes)) {
      SCOPED_TRACE(f.name);
      writeFile(kTarget, kOldDrawing);
      recording().events.clear();
      recording().statusText = "未出力";  // as the load left it, before the clean save
      recording().fileAnswers.push_back(kTarget);
      outputFileInjectFailure(f.fault);
      FlowOutcome outcome = click(ID_SAVE_BUTTON);
      outputFileInjectFailure(OutputFault{});
      EXPECT_EQ(outcome, FlowOutcome::carryOn);
      std::vector<std::string> reported = saved;
      const std::string failed = "書込みエラー: " + systemErrorText(f.error);
      reported.back() = "status " + failed;
      reported.push_back("stderr " + failed + "\n");
      EXPECT_EQ(takeEvents(), reported);
      EXPECT_EQ(recording().waitCursor, 0);
      EXPECT_EQ(readFile(kTarget), kOldDrawing);
      EXPECT_EQ(folderEntries(), folder);  // no temporary file left
      if (HasFailure()) return;
    }
    // The table is unharmed: the next save writes the same document, also through a write that
    // moves only half its bytes and goes on, and onto a target held for two attempts.
    for (OutputFault fault : {OutputFault{}, OutputFault{OutputFaultPoint::partialWrite, 2},
                              OutputFault{OutputFaultPoint::move, 2}}) {
      writeFile(kTarget, kOldDrawing);
      recording().statusText = "未出力";
      outputFileInjectFailure(fault);
      save(kTarget);
      outputFileInjectFailure(OutputFault{});
      EXPECT_EQ(recording().statusText, "保存完了");
      EXPECT_EQ(readFile(kTarget), document);
    }
    std::printf("[ points   ] plotvane save, %s: %d writes (each failing whole and after half), flush, close, move\n",
                c.method, writes);
  }
}

}  // namespace
