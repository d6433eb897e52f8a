// Memory exhaustion at every allocation of the viewer's flows, one allocation at a time: each run
// must end either exactly like a run with memory to spare, or in the memory path (the message,
// then status 1) with nothing drawn from a half-read table and no file changed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/common/fault_operator_new.h"
#include "tests/common/fault_support.h"
#include "tests/viewer/viewer_test_support.h"

namespace {

const std::string kMemoryMessage = "messageBox owned Error: メモリ確保に失敗しました";
const std::string kSaved = "status 保存完了";
// Names longer than a string keeps inline, so that every copy of a path allocates.
const char kGridName[] = "a-surface-with-a-long-file-name.csv";
const char kProfileName[] = "a-profile-with-a-long-file-name.csv";
const char kTargetName[] = "a-drawing-with-a-long-file-name.dxf";
const char kOldDrawing[] = "the drawing saved last week\r\n";

// A field with a quotation mark before its digits, so the scanner collects it instead of
// converting it in place, and so long that its text outgrows the inline buffer twice over.
std::string collectedField(const std::string& whole) { return "\"" + whole + "." + std::string(150, '0') + "\""; }

// A 5 x 4 grid whose reading grows a field, and whose column 4 holds values above 1e30, too long
// for the text run the writers first reserve for a column.
std::string gridText() {
  std::string text = "XYZ,1,2,3,4,5\n";
  for (int j = 1; j <= 4; ++j) {
    text += std::to_string(j * 10);
    for (int i = 1; i <= 5; ++i) {
      if (i == 3 && j == 2)
        text += "," + collectedField("7");
      else if (i == 4)
        text += ",1" + std::string(30, '0') + std::to_string(j);
      else
        text += "," + std::to_string(j * 100 + i * 7 % 5);
    }
    text += "\n";
  }
  return text;
}

// A profile of 201 points: more than the table's first 128 columns, so the reading widens it.
std::string profileText() {
  std::string xs = "0", ys = "3";
  for (int k = 1; k < 200; ++k) {
    xs += "," + std::to_string(k);
    ys += "," + std::to_string(k * 37 % 11);
  }
  return xs + "," + collectedField("200") + "\n" + ys + ",4\n";
}

// What a clean run of a flow left.
struct CleanRun {
  std::vector<std::string> events;
  std::vector<CanvasOp> ops;
  std::vector<std::string> folder;  // names in the working folder
  std::string target;               // the save's target, when the flow saves
};

class ViewerAllocationFailure : public ViewerFlowTest {
 protected:
  void SetUp() override {
    ViewerFlowTest::SetUp();
    writeFile(kGridName, gridText());
    writeFile(kProfileName, profileText());
    writeFile("previous.csv", kExampleGrid);
  }

  // The dialog as it opens without a start-up file.
  void openDialog() {
    recordingReset();
    start("");
  }

  CleanRun cleanRun(FlowOutcome outcome) {
    EXPECT_EQ(outcome, FlowOutcome::carryOn);
    CleanRun clean{events(), recording().canvas.ops, folderEntries(), ""};
    if (exists(kTargetName)) clean.target = readFile(kTargetName);
    return clean;
  }

  // A run ends like the clean run, or in the memory path with the files as they were before it.
  void expectCleanOrMemoryPath(FlowOutcome outcome, bool struck, const CleanRun& clean,
                               const std::vector<std::string>& folderBefore, bool saves) {
    const std::vector<std::string> seen = events();
    if (outcome == FlowOutcome::carryOn) {
      // The failure, if there was one, cost nothing that shows.
      EXPECT_EQ(seen, clean.events);
      EXPECT_EQ(recording().canvas.ops, clean.ops);
      EXPECT_EQ(folderEntries(), clean.folder);
      if (saves) {
        EXPECT_EQ(readFile(kTargetName), clean.target);
      }
      return;
    }
    EXPECT_TRUE(struck);
    ASSERT_EQ(outcome, FlowOutcome::exitOutOfMemory);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), kMemoryMessage);
    // Up to the message the run did what the clean run did, and nothing else.
    std::vector<std::string> before(seen.begin(), seen.end() - 1);
    ASSERT_LE(before.size(), clean.events.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), clean.events.begin()))
        << ::testing::PrintToString(seen);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), kSaved), 0);
    // A drawing that happened drew the whole table.
    if (std::count(before.begin(), before.end(), "draw")) {
      EXPECT_EQ(recording().canvas.ops, clean.ops);
    }
    EXPECT_EQ(folderEntries(), folderBefore);
    if (saves) {
      EXPECT_EQ(readFile(kTargetName), kOldDrawing);
    }
    // Until the process has ended, nothing draws or saves the table.
    recording().events.clear();
    viewerPaint(recordingDialog(), nullptr);
    recording().fileAnswers.push_back("never.dxf");
    click(ID_SAVE_BUTTON);
    EXPECT_TRUE(events().empty()) << ::testing::PrintToString(events());
    recording().fileAnswers.clear();
  }
};

TEST_F(ViewerAllocationFailure, StartupLoad) {
  auto prepare = [&] {
    recordingReset();
    recording().clientSizes[ID_PANEL] = {100, 151};
    recording().clientSizes[0] = {302, 190};
  };
  auto act = [&] {
    viewerEnter(kGridName);
    return viewerStart(recordingDialog());
  };
  prepare();
  CleanRun clean = cleanRun(act());
  ASSERT_EQ(clean.events.back(), "status 未出力");
  ASSERT_EQ(std::count(clean.events.begin(), clean.events.end(), "draw"), 1);
  const std::vector<std::string> folder = folderEntries();
  failEveryAllocation("plotvane start-up load", prepare, act, [&](FlowOutcome outcome, bool struck) {
    expectCleanOrMemoryPath(outcome, struck, clean, folder, false);
  });
}

TEST_F(ViewerAllocationFailure, LoadCommandIn2DAnd3D) {
  struct Case {
    const char* scenario;
    const char* file;
    bool twoD;
  } cases[] = {
      {"plotvane load command, 2D", kProfileName, true},
      {"plotvane load command, 3D", kGridName, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    // A table is loaded already: the load replaces it.
    auto prepare = [&] {
      openDialog();
      load("previous.csv");
      if (c.twoD) clickRadio(ID_TWO_D);
      recording().events.clear();
      recording().fileAnswers.push_back(c.file);
    };
    auto act = [&] { return click(ID_LOAD_BUTTON); };
    prepare();
    CleanRun clean = cleanRun(act());
    ASSERT_EQ(clean.events.size(), 4u);
    ASSERT_EQ(clean.events[2], "draw");
    const std::vector<std::string> folder = folderEntries();
    failEveryAllocation(c.scenario, prepare, act, [&](FlowOutcome outcome, bool struck) {
      expectCleanOrMemoryPath(outcome, struck, clean, folder, false);
    });
  }
}

TEST_F(ViewerAllocationFailure, SaveCommandOfEachMethod) {
  struct Case {
    const char* scenario;
    int button;
    const char* file;
    const char* entity;
  } cases[] = {
      {"plotvane save, 2D", ID_TWO_D, kProfileName, "POLYLINE"},
      {"plotvane save, Line", ID_LINE, kGridName, "POLYLINE"},
      {"plotvane save, Mesh", ID_MESH, kGridName, "POLYLINE"},
      {"plotvane save, Face", ID_FACE, kGridName, "3DFACE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    auto prepare = [&] {
      openDialog();
      clickRadio(c.button);
      load(c.file);
      writeFile(kTargetName, kOldDrawing);
      recording().events.clear();
      recording().fileAnswers.push_back(kTargetName);
    };
    auto act = [&] { return click(ID_SAVE_BUTTON); };
    prepare();
    CleanRun clean = cleanRun(act());
    ASSERT_EQ(clean.events.back(), kSaved);
    ASSERT_THAT(clean.target, ::testing::HasSubstr(c.entity));
    prepare();
    const std::vector<std::string> folder = folderEntries();
    failEveryAllocation(c.scenario, prepare, act, [&](FlowOutcome outcome, bool struck) {
      expectCleanOrMemoryPath(outcome, struck, clean, folder, true);
    });
  }
}

}  // namespace
