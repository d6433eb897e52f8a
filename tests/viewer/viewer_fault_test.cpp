// Failures of the viewer's flows: saves that cannot complete, and memory exhaustion while reading.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include "common/text_input.h"
#include "platform/file_system.h"
#include "tests/file_faults.h"
#include "tests/viewer/viewer_test_support.h"

// The memory test asks for an allocation larger than the address space; sanitizer builds must
// answer it with nullptr like the plain allocator does.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const std::string kSaveDialog = "saveDialog ファイルの保存 [grid.dxf] near grid.csv";

#ifndef _WIN32
// A file-size limit makes every write past it fail, as a full disk does, for root as well.
struct FileSizeLimit {
  rlimit previous;
  void (*previousHandler)(int);
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
  }
};
#endif

// A grid whose Face document is far larger than the limits used below.
std::string bigGrid() {
  std::string text = "XYZ";
  for (int i = 1; i <= 30; ++i) text += "," + std::to_string(i);
  text += "\n";
  for (int j = 1; j <= 30; ++j) {
    text += std::to_string(j);
    for (int i = 1; i <= 30; ++i) text += "," + std::to_string(i * j + 0.25);
    text += "\n";
  }
  return text;
}

using ViewerSaveFailure = ViewerFlowTest;
using ViewerReadFailure = ViewerFlowTest;

// Every read of a load fails in turn, as on a network drive that goes away: each is reported like
// a file that does not open, and the table stays stale, so nothing partial is drawn or saved.
TEST_F(ViewerReadFailure, ReadFailingPartwayIsReportedAndNothingPartialIsDrawnOrSaved) {
  writeFile("grid.csv", kExampleGrid);
  writeFile("big.csv", bigGrid());
  start("grid.csv");
  int failures = 0;
  for (int k = 1; k < 10; ++k) {
    SCOPED_TRACE("read " + std::to_string(k) + " fails");
    recording().events.clear();
    textInputInjectReadFailure(k);
    load("big.csv");
    textInputInjectReadFailure(0);
    if (events().size() == 4 && events()[2] == "draw") break;  // no read left to fail
    ++failures;
    const std::string failed = "読込エラー: " + systemErrorText(kFaultDevice);
    EXPECT_THAT(takeEvents(), ElementsAre("openDialog ファイルを開く []", "text 105 big.csv", "status " + failed,
                                          "stderr " + failed + "\n", "repaint"));
    EXPECT_TRUE(gViewer.tableStale);
    EXPECT_EQ(recording().waitCursor, 0);
    viewerPaint(recordingDialog(), nullptr);
    click(ID_SAVE_BUTTON);
    EXPECT_TRUE(events().empty());
  }
  // The counting pass and the parsing pass both read.
  EXPECT_GE(failures, 2);
}

// A failed save is reported on the error stream with the system's message, never as success, and
// leaves nothing behind.
TEST_F(ViewerSaveFailure, TargetThatCannotBeCreatedIsReportedNotCompleted) {
  writeFile("grid.csv", bigGrid());
  writeFile("plain.txt", "a file, not a folder");
  ASSERT_TRUE(std::filesystem::create_directory("folder.dxf"));
  struct Case {
    const char* target;
    int error;  // 0: whatever the system says
  } cases[] = {
      {"missing/out.dxf", kMissingFolder},
#ifdef _WIN32
      {"plain.txt/out.dxf", 0},
      {"folder.dxf", ERROR_ALREADY_EXISTS},  // written completely, then cannot replace a folder
#else
      {"plain.txt/out.dxf", ENOTDIR},
      {"/proc/self/out.dxf", 0},  // a folder nobody can create files in, root included
      {"folder.dxf", EISDIR},
#endif
  };
  start("grid.csv");
  for (const Case& c : cases) {
    recording().events.clear();
    recording().errorStream.clear();
    save(c.target);
    ASSERT_EQ(events().size(), 3u) << c.target;
    EXPECT_EQ(events()[0], kSaveDialog);
    // The status bar says why, and the error stream the same.
    std::string failed = events()[1].substr(std::strlen("status "));
    EXPECT_THAT(events()[1], StartsWith("status 書込みエラー: ")) << c.target;
    EXPECT_GT(failed.size(), std::strlen("書込みエラー: ")) << c.target;
    if (c.error) {
      EXPECT_EQ(failed, "書込みエラー: " + systemErrorText(c.error)) << c.target;
    }
    EXPECT_EQ(events()[2], "stderr " + failed + "\n");
    EXPECT_EQ(recording().waitCursor, 0) << c.target;
    EXPECT_EQ(recording().errorStream, failed + "\n");
    EXPECT_THAT(folderEntries(), ElementsAre("folder.dxf", "grid.csv", "plain.txt")) << c.target;
    EXPECT_TRUE(folderEntries("folder.dxf").empty());
  }
  // The same table saves once the target can be written.
  save("good.dxf");
  EXPECT_EQ(recording().statusText, "保存完了");
}

#ifndef _WIN32
// A write that fails half-way (the disk full) keeps the file that was there, byte for byte.
TEST_F(ViewerSaveFailure, WriteFailureKeepsTheExistingTarget) {
  writeFile("grid.csv", bigGrid());
  writeFile("grid.dxf", "the drawing saved last week\r\n");
  start("grid.csv");
  recording().events.clear();
  {
    FileSizeLimit full(4096);
    save("grid.dxf");
  }
  const std::string failed = "書込みエラー: " + systemErrorText(EFBIG);
  EXPECT_THAT(events(), ElementsAre(kSaveDialog, "status " + failed, "stderr " + failed + "\n"));
  EXPECT_EQ(readFile("grid.dxf"), "the drawing saved last week\r\n");
  EXPECT_THAT(folderEntries(), ElementsAre("grid.csv", "grid.dxf"));  // no temporary file left

  // Without the limit the same save replaces the target.
  recording().events.clear();
  save("grid.dxf");
  EXPECT_THAT(events(), ElementsAre(kSaveDialog, "status 保存完了"));
  EXPECT_THAT(readFile("grid.dxf"), StartsWith("  0\r\nSECTION\r\n"));
  EXPECT_THAT(readFile("grid.dxf"), HasSubstr("3DFACE"));
}
#endif

#ifdef _WIN32
// A swap that moved the old drawing aside, after which neither file can take the target's name:
// the status bar and the error stream name where each one is.
TEST_F(ViewerSaveFailure, FilesLeftBesideTheTargetAreNamed) {
  writeFile("grid.csv", bigGrid());
  writeFile("grid.dxf", "the drawing saved last week\r\n");
  start("grid.csv");
  recording().events.clear();
  const ReplacePlay neither{ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, ~0u, 0};
  playReplaceOutcome(&neither);
  save("grid.dxf");
  playReplaceOutcome(nullptr);
  std::string newFile, oldFile;
  for (const std::string& name : folderEntries()) {
    if (name.ends_with(".tmp")) newFile = name;
    if (name.ends_with(".old")) oldFile = name;
  }
  ASSERT_FALSE(newFile.empty() || oldFile.empty());
  // Named as the target was: here relative to the working folder.
  const std::string failed = "書込みエラー: " + systemErrorText(ERROR_INVALID_PARAMETER) + " 保存した内容は " + newFile +
                             " に、元のファイルは " + oldFile + " にあります。";
  EXPECT_THAT(events(), ElementsAre(kSaveDialog, "status " + failed, "stderr " + failed + "\n"));
  EXPECT_EQ(readFile(oldFile), "the drawing saved last week\r\n");
}
#endif

// A grid whose table could never be held: 5,000,001 columns by 5,000,002 rows of doubles.
class ViewerOutOfMemory : public ViewerFlowTest {
 protected:
  void SetUp() override {
    ViewerFlowTest::SetUp();
    FILE* out = std::fopen("huge.csv", "wb");
    ASSERT_NE(out, nullptr);
    std::string commas(5000000, ',');
    std::string lineEnds(5000000, '\n');
    std::fputs("XYZ", out);
    std::fwrite(commas.data(), 1, commas.size(), out);
    std::fputc('\n', out);
    std::fwrite(lineEnds.data(), 1, lineEnds.size(), out);
    ASSERT_EQ(std::fclose(out), 0);
  }
};

const std::string kMemoryMessage = "messageBox owned Error: メモリ確保に失敗しました";

TEST_F(ViewerOutOfMemory, AtStartShowsTheMessageAndEndsWithStatusOne) {
  EXPECT_EQ(start("huge.csv"), FlowOutcome::exitOutOfMemory);
  EXPECT_THAT(events(), ElementsAre("text 101 Ver.0.10.2", "check 110", "check 113", kMemoryMessage));
  recording().events.clear();
  // Paint requests that reach the dialog before it ends draw nothing.
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_TRUE(events().empty());
  EXPECT_EQ(viewerLeave(kDialogOutOfMemory), 1);
}

TEST_F(ViewerOutOfMemory, WhileLoadingForgetsTheOldTableAndEndsWithStatusOne) {
  writeFile("grid.csv", kExampleGrid);
  start("grid.csv");
  recording().events.clear();
  EXPECT_EQ(load("huge.csv"), FlowOutcome::exitOutOfMemory);
  EXPECT_THAT(events(), ElementsAre("openDialog ファイルを開く []", "text 105 huge.csv", kMemoryMessage));
  recording().events.clear();
  viewerPaint(recordingDialog(), nullptr);
  click(ID_SAVE_BUTTON);
  EXPECT_TRUE(events().empty());
  EXPECT_EQ(viewerLeave(kDialogOutOfMemory), 1);
}

}  // namespace
