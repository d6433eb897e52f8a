// The dialog's flows, driven through the recording stand-in: messages, status texts, canvas
// operations and file effects, in order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/file_faults.h"
#include "tests/precision_profile.h"
#include "tests/viewer/dxf_text.h"
#include "tests/viewer/loaded_table.h"
#include "tests/viewer/viewer_test_support.h"
#include "viewer/dxf_writer.h"

using ::testing::ElementsAre;

namespace {

const std::string kDraw = "draw";
const std::string kNotSaved = "status 未出力";
const std::string kSaved = "status 保存完了";
const std::string kOpenDialog = "openDialog ファイルを開く []";
const std::string kLargeQuestion =
    "messageBox owned Note [OK Cancel]: データ量が多いため保存に時間がかかります。\n続行しますか？";

// The save dialog proposing initialName in the folder of the file loaded.
std::string saveDialog(const std::string& initialName, const std::string& loaded) {
  return "saveDialog ファイルの保存 [" + initialName + "] near " + loaded;
}
// A failure's status text and the same on the error stream.
std::string status(const std::string& text) { return "status " + text; }
std::string errorStream(const std::string& text) { return "stderr " + text + "\n"; }

// The document the writer makes from text read as a grid (or two-row) file.
std::string expectedDocument(const std::string& text, bool twoRow, DxfMethod method) {
  Loaded l;
  load(&l, text, !twoRow);
  return document(l.table, method);
}

// A grid of the given header fields and data lines, every line ended; Z values all differ.
std::string gridText(int headerFields, int dataLines) {
  std::string text = "XYZ";
  for (int i = 1; i < headerFields; ++i) text += "," + std::to_string(i);
  text += "\n";
  for (int j = 1; j <= dataLines; ++j) {
    text += std::to_string(j * 10);
    for (int i = 1; i < headerFields; ++i) text += "," + std::to_string(j * 1000 + i);
    text += "\n";
  }
  return text;
}

using ViewerStart = ViewerFlowTest;

TEST_F(ViewerStart, WithoutArgumentsShowsVersionAndChecks3DAndFaceOnly) {
  EXPECT_EQ(start(""), FlowOutcome::carryOn);
  EXPECT_THAT(takeEvents(), ElementsAre("text 101 Ver.0.10.2", "check 110", "check 113"));
  EXPECT_TRUE(recording().checked[ID_THREE_D]);
  EXPECT_TRUE(recording().checked[ID_FACE]);
  EXPECT_EQ(recording().statusText, "");
  // The preview area comes from the client sizes of the panel and the dialog.
  EXPECT_EQ(gViewer.previewArea.left, 101);
  EXPECT_EQ(gViewer.previewArea.width, 200);
  EXPECT_EQ(gViewer.previewArea.height, 150);
  // Nothing is loaded: paint and save do nothing.
  viewerPaint(recordingDialog(), nullptr);
  click(ID_SAVE_BUTTON);
  EXPECT_TRUE(events().empty());
  EXPECT_EQ(recording().drawings, 0);
}

#if defined(__i386__) || defined(__x86_64__)
// Real Windows starts 32-bit threads rounding to 53 bits (Wine and Linux with 64), and DLLs that
// the file dialogs load may set it so later: every flow gives the drawing its 64-bit mantissa. The
// profile is made for the example area, 200 wide.
TEST_F(ViewerStart, DrawsExactlyWhenTheThreadStartsRoundingTo53Bits) {
  writeFile("precise.csv", precisionProfile(200));
  auto drawn = [&](unsigned short startBits) {
    setX87Precision(startBits);
    start("");
    clickRadio(ID_TWO_D);
    load("precise.csv");
    EXPECT_EQ(x87Control(), 0x300) << "started from " << startBits;  // 64 bits, to nearest
    setX87Precision(0x300);
    return recording().canvas.ops;
  };
  const std::vector<CanvasOp> exact = drawn(0x300);
  ASSERT_GT(exact.size(), 50u);
  // Drawn at 53 bits, the points move: the profile tells the two apart.
  Canvas rounded;
  setX87Precision(0x200);
  drawPreview2D(&rounded, gViewer.previewArea, gViewer.table, gViewer.extents);
  setX87Precision(0x300);
  EXPECT_NE(rounded.ops, exact);
  EXPECT_EQ(drawn(0x200), exact);
  EXPECT_EQ(drawn(0x200 | 0xC00), exact);  // as a DLL may leave it: 53 bits, toward zero
  // Set to 53 bits between the start and a paint, as a shell extension may.
  setX87Precision(0x200);
  viewerPaint(recordingDialog(), nullptr);
  setX87Precision(0x300);
  EXPECT_EQ(recording().canvas.ops, exact);
}
#endif

TEST_F(ViewerStart, WithAGridPathDraws3DAndOffersItsName) {
  writeFile("surface.csv", kExampleGrid);
  // The start-up file is a grid file even when the buttons would say 2D.
  recording().checked[ID_TWO_D] = true;
  EXPECT_EQ(start("surface.csv"), FlowOutcome::carryOn);
  EXPECT_THAT(takeEvents(), ElementsAre("text 101 Ver.0.10.2", "check 110", "check 113", kDraw, kNotSaved));
  EXPECT_EQ(recording().canvas.ops, exampleGridOps());
  EXPECT_EQ(recording().controlTexts.count(ID_FILE_NAME_LABEL), 0u);  // 105 stays empty
  EXPECT_FALSE(gViewer.tableStale);

  save("surface.dxf");
  EXPECT_THAT(takeEvents(), ElementsAre(saveDialog("surface.dxf", "surface.csv"), kSaved));
  EXPECT_EQ(readFile("surface.dxf"), expectedDocument(kExampleGrid, false, {false, false, false, true}));
}

// Moved to a monitor of 150 %: the dialog manager lays the controls out anew, the flow measures the
// preview area again and fits the surface, and the next paint draws for the new area.
TEST_F(ViewerStart, ANewLayoutIsMeasuredAndThePaintDrawsForIt) {
  writeFile("surface.csv", kExampleGrid);
  start("surface.csv");
  recording().clientSizes[ID_PANEL] = {150, 227};
  recording().clientSizes[0] = {453, 285};
  recording().events.clear();
  viewerLayoutChanged(recordingDialog());
  EXPECT_THAT(takeEvents(), ElementsAre("fit"));
  const PreviewArea scaled = computePreviewArea(150, 227, 453);
  EXPECT_EQ(gViewer.previewArea.left, scaled.left);
  EXPECT_EQ(gViewer.previewArea.width, scaled.width);
  EXPECT_EQ(gViewer.previewArea.height, scaled.height);
  viewerPaint(recordingDialog(), nullptr);
  Canvas expected;
  drawPreview3D(&expected, scaled, gViewer.table, gViewer.extents);
  EXPECT_EQ(recording().canvas.ops, expected.ops);
  EXPECT_NE(expected.ops, exampleGridOps());
}

TEST_F(ViewerStart, WithAMissingPathReportsAndStaysStale) {
  EXPECT_EQ(start("missing.csv"), FlowOutcome::carryOn);
  const std::string failed = "読込エラー: " + systemErrorText(kMissingFile);
  EXPECT_THAT(takeEvents(), ElementsAre("text 101 Ver.0.10.2", "check 110", "check 113", status(failed),
                                        errorStream(failed), "repaint"));
  EXPECT_EQ(recording().errorStream, failed + "\n");
  EXPECT_EQ(gViewer.outputName, "missing.dxf");
  EXPECT_TRUE(gViewer.tableStale);
  click(ID_SAVE_BUTTON);
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_TRUE(events().empty());
}

// A tail that is one path in a single pair of quotation marks loses them; every other tail is
// taken verbatim.
TEST_F(ViewerStart, QuotedTailLosesOnlyOneEnclosingPair) {
  writeFile("my grid.csv", kExampleGrid);
  enum Loads { no, yes, either };
  struct Case {
    const char* tail;
    const char* startupPath;
    Loads loads;
  } cases[] = {
      {"\"my grid.csv\"", "my grid.csv", yes},
      {"\"my grid.csv\"  ", "my grid.csv", yes},  // blanks after the closing mark
      {"my grid.csv", "my grid.csv", yes},
      {"\"my grid.csv", "\"my grid.csv", no},
      {"\"my\" grid.csv", "\"my\" grid.csv", no},
      {"\"\"", "\"\"", no},
      // Trailing blanks are part of the path (Windows itself drops them when it opens the file).
      {"my grid.csv  ", "my grid.csv  ", either},
  };
  for (const Case& c : cases) {
    recordingReset();
    start(c.tail);
    EXPECT_EQ(gViewer.startupPath, c.startupPath) << c.tail;
    if (c.loads != either) {
      EXPECT_EQ(recording().drawings, c.loads == yes ? 1 : 0) << c.tail;
      EXPECT_EQ(recording().errorStream.empty(), c.loads == yes) << c.tail;
      // The name is no file's (Windows: nor a valid one), and the status says so.
      if (c.loads == yes) {
        EXPECT_EQ(recording().statusText, "未出力") << c.tail;
      } else {
        EXPECT_THAT(recording().statusText, ::testing::StartsWith("読込エラー: ")) << c.tail;
      }
    }
  }
}

#ifndef _WIN32  // Windows' own path limits would stop such a path before the program does
// Paths are never cut: a tail far longer than the old 511 characters loads and names its output.
TEST_F(ViewerStart, PathsOfAnyLengthLoadAndNameTheirOutput) {
  std::string path = ".";
  for (int level = 0; level < 4; ++level) {
    path += "/" + std::string(200, static_cast<char>('a' + level));
    ASSERT_TRUE(std::filesystem::create_directory(path));
  }
  path += "/x\\" + std::string(150, 'g') + ".grid.csv";  // the file-name part follows the backslash
  ASSERT_GT(path.size(), 900u);
  writeFile(path, kExampleGrid);
  start("\"" + path + "\"");
  EXPECT_EQ(gViewer.startupPath, path);
  EXPECT_EQ(recording().canvas.ops, exampleGridOps());
  EXPECT_EQ(gViewer.outputName, std::string(150, 'g') + ".grid.dxf");

  std::string longTarget = path.substr(0, path.rfind('/')) + "/" + std::string(200, 'o') + ".dxf";
  recording().events.clear();
  save(longTarget);
  EXPECT_EQ(recording().fileDialogInitialNames.back(), gViewer.outputName);
  EXPECT_THAT(takeEvents(), ElementsAre(saveDialog(gViewer.outputName, path), kSaved));
  EXPECT_EQ(readFile(longTarget), expectedDocument(kExampleGrid, false, {false, false, false, true}));
}
#endif

using ViewerLoad = ViewerFlowTest;

TEST_F(ViewerLoad, In2DReadsATwoRowFileAndDrawsTheProfile) {
  writeFile("profile.csv", "0,4\n0,3\n");
  start("");
  clickRadio(ID_TWO_D);
  recording().events.clear();
  EXPECT_EQ(load("profile.csv"), FlowOutcome::carryOn);
  EXPECT_THAT(takeEvents(), ElementsAre(kOpenDialog, "text 105 profile.csv", kDraw, kNotSaved));
  EXPECT_THAT(recording().canvas.ops, ElementsAre(CanvasOp{CanvasOp::frame, 101, 0, 302, 151},
                                                  CanvasOp{CanvasOp::moveTo, 101, 150, 0, 0},
                                                  CanvasOp{CanvasOp::lineTo, 301, 0, 0, 0}));
  const FileDialogSetup& setup = recording().fileDialogs.back();
  EXPECT_FALSE(setup.save);
  EXPECT_STREQ(setup.filterName, "CSV(*.csv)");
  EXPECT_STREQ(setup.filterSpec, "*.csv");
  EXPECT_STREQ(setup.defaultExtension, "csv");
  EXPECT_EQ(gViewer.table.columnCapacity, kTwoRowColumns);  // read as a two-row file
  EXPECT_FALSE(gViewer.tableStale);

  // Paint draws with the checked dimension: the 2D profile again.
  std::vector<CanvasOp> drawn = recording().canvas.ops;
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_THAT(takeEvents(), ElementsAre(kDraw));
  EXPECT_EQ(recording().canvas.ops, drawn);

  // The hidden Method group keeps Face checked; 2D wins.
  save("profile.dxf");
  EXPECT_THAT(takeEvents(), ElementsAre(saveDialog("profile.dxf", "profile.csv"), kSaved));
  EXPECT_EQ(readFile("profile.dxf"), expectedDocument("0,4\n0,3\n", true, {true, false, false, true}));
}

TEST_F(ViewerLoad, In3DReadsAGridFileAndDrawsTheWireframe) {
  writeFile("grid.csv", kExampleGrid);
  start("");
  recording().events.clear();
  load("grid.csv");
  EXPECT_THAT(takeEvents(), ElementsAre(kOpenDialog, "text 105 grid.csv", kDraw, kNotSaved));
  EXPECT_EQ(recording().canvas.ops, exampleGridOps());
  // A paint request repeats exactly the operations of the load.
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_THAT(takeEvents(), ElementsAre(kDraw));
  EXPECT_EQ(recording().canvas.ops, exampleGridOps());
  EXPECT_EQ(recording().drawings, 2);
}

// Without a surface to draw on (its window could not be made) nothing is drawn, and the load is
// complete all the same: a later paint with a surface draws the table.
TEST_F(ViewerLoad, NothingIsDrawnWithoutASurface) {
  writeFile("grid.csv", kExampleGrid);
  start("");
  recording().noSurface = true;
  recording().events.clear();
  load("grid.csv");
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_THAT(takeEvents(), ElementsAre(kOpenDialog, "text 105 grid.csv", kNotSaved));
  EXPECT_EQ(recording().drawings, 0);
  EXPECT_FALSE(gViewer.tableStale);
  recording().noSurface = false;
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_EQ(recording().canvas.ops, exampleGridOps());
}

TEST_F(ViewerLoad, CancelledOpenDialogDoesNothing) {
  writeFile("grid.csv", kExampleGrid);
  start("grid.csv");
  recording().events.clear();
  click(ID_LOAD_BUTTON);  // nothing scripted: cancelled
  EXPECT_THAT(takeEvents(), ElementsAre(kOpenDialog));
  EXPECT_FALSE(gViewer.tableStale);
  EXPECT_EQ(gViewer.outputName, "grid.dxf");
}

// The file loaded before must not be saved under the name of one that did not open.
TEST_F(ViewerLoad, FileThatDoesNotOpenLeavesTheTableStaleAndSaysSo) {
  writeFile("grid.csv", kExampleGrid);
  start("");
  load("grid.csv");
  recording().events.clear();
  load("C:\\data\\gone.csv");
  EXPECT_THAT(takeEvents(), ElementsAre(kOpenDialog, "text 105 gone.csv",
                                        status("読込エラー: " + systemErrorText(kMissingFolder)),
                                        errorStream("読込エラー: " + systemErrorText(kMissingFolder)), "repaint"));
  EXPECT_TRUE(gViewer.tableStale);
  EXPECT_EQ(recording().waitCursor, 0);
  click(ID_SAVE_BUTTON);
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_TRUE(events().empty());
  load("grid.csv");  // a good load makes it saveable again
  EXPECT_THAT(takeEvents(), ElementsAre(kOpenDialog, "text 105 grid.csv", kDraw, kNotSaved));
}

TEST_F(ViewerLoad, OutputNameReplacesOnlyTheLastExtension) {
  writeFile("grid.csv", kExampleGrid);
  struct Case {
    const char* chosen;
    const char* offered;
  } cases[] = {
      {"C:\\data\\surface", "surface.dxf"},
      {"C:\\data\\a.b.c", "a.b.dxf"},
      {"C:\\my.dir\\plain", "plain.dxf"},
      {"C:\\data\\.csv", ".dxf"},
      {"name.", "name.dxf"},
  };
  start("");
  for (const Case& c : cases) {
    load(c.chosen);  // does not open, but names the save dialog's proposal
    EXPECT_EQ(gViewer.outputName, c.offered) << c.chosen;
  }
  load("grid.csv");
  recording().events.clear();
  click(ID_SAVE_BUTTON);  // the save dialog is cancelled
  EXPECT_THAT(takeEvents(), ElementsAre(saveDialog("grid.dxf", "grid.csv")));
}

TEST_F(ViewerLoad, EmptyGridFileDrawsTheFrameAloneAndOffersNothingToSave) {
  writeFile("empty.csv", "");
  start("");
  clickRadio(ID_LINE);
  recording().events.clear();
  load("empty.csv");
  EXPECT_THAT(takeEvents(), ElementsAre(kOpenDialog, "text 105 empty.csv", kDraw, kNotSaved));
  EXPECT_THAT(recording().canvas.ops, ElementsAre(CanvasOp{CanvasOp::frame, 101, 0, 302, 151}));
  click(ID_SAVE_BUTTON);
  EXPECT_TRUE(events().empty());
}

using ViewerDimension = ViewerFlowTest;

// The surface is painted anew at once, so that what can no longer be saved leaves the screen.
TEST_F(ViewerDimension, ClickHidesOrShowsMethodGroupAndMakesTheTableStale) {
  writeFile("grid.csv", kExampleGrid);
  start("grid.csv");
  recording().events.clear();

  clickRadio(ID_TWO_D);
  EXPECT_THAT(takeEvents(), ElementsAre("hide 103", "hide 111", "hide 112", "hide 113", "repaint"));
  EXPECT_TRUE(gViewer.tableStale);
  // Stale: saving and painting do nothing, silently.
  click(ID_SAVE_BUTTON);
  viewerPaint(recordingDialog(), nullptr);
  EXPECT_TRUE(events().empty());

  clickRadio(ID_THREE_D);
  EXPECT_THAT(takeEvents(), ElementsAre("show 103", "show 111", "show 112", "show 113", "repaint"));
  EXPECT_TRUE(gViewer.tableStale);
  click(ID_SAVE_BUTTON);
  EXPECT_TRUE(events().empty());

  // A load makes it fresh; a click on the button already checked makes it stale again.
  load("grid.csv");
  EXPECT_FALSE(gViewer.tableStale);
  recording().events.clear();
  clickRadio(ID_THREE_D);
  EXPECT_THAT(takeEvents(), ElementsAre("show 103", "show 111", "show 112", "show 113", "repaint"));
  EXPECT_TRUE(gViewer.tableStale);
}

TEST_F(ViewerDimension, OtherCommandsDoNothing) {
  start("");
  recording().events.clear();
  for (int id : {0, 99, ID_PANEL, ID_VERSION_LABEL, ID_DIMENSION_GROUP, ID_METHOD_GROUP, ID_FILE_NAME_LABEL,
                 ID_STATUS_BAR, 114, 0xFFFF})
    EXPECT_EQ(click(id), FlowOutcome::carryOn);
  EXPECT_TRUE(events().empty());
}

using ViewerSave = ViewerFlowTest;

TEST_F(ViewerSave, EachMethodWritesItsDocument) {
  writeFile("grid.csv", kExampleGrid);
  struct Case {
    int button;
    DxfMethod method;
  } cases[] = {
      {ID_LINE, {false, true, false, false}},
      {ID_MESH, {false, false, true, false}},
      {ID_FACE, {false, false, false, true}},
  };
  start("grid.csv");
  for (const Case& c : cases) {
    clickRadio(c.button);
    recording().events.clear();
    std::string target = "out" + std::to_string(c.button) + ".dxf";
    save(target);
    EXPECT_THAT(takeEvents(), ElementsAre(saveDialog("grid.dxf", "grid.csv"), kSaved));
    EXPECT_EQ(readFile(target), expectedDocument(kExampleGrid, false, c.method)) << c.button;
    const FileDialogSetup& setup = recording().fileDialogs.back();
    EXPECT_TRUE(setup.save);
    EXPECT_STREQ(setup.filterName, "DXF(*.dxf)");
    EXPECT_STREQ(setup.filterSpec, "*.dxf");
    EXPECT_STREQ(setup.defaultExtension, "dxf");
  }
  // The start-up load and each save showed the wait cursor, and it is gone.
  EXPECT_EQ(recording().waits, 4);
  EXPECT_EQ(recording().waitCursor, 0);
}

TEST_F(ViewerSave, CancelledSaveDialogWritesNothing) {
  writeFile("grid.csv", kExampleGrid);
  start("grid.csv");
  recording().events.clear();
  click(ID_SAVE_BUTTON);
  EXPECT_THAT(takeEvents(), ElementsAre(saveDialog("grid.dxf", "grid.csv")));
  EXPECT_EQ(recording().statusText, "未出力");
  EXPECT_THAT(folderEntries(), ElementsAre("grid.csv"));
}

// The question comes when columnCapacity x rowCapacity is strictly above 10000.
TEST_F(ViewerSave, LargeDataQuestionAboveTenThousandCells) {
  writeFile("above.csv", gridText(100, 99));  // 100 x (2 + 99) = 10100
  writeFile("at.csv", gridText(100, 98));     // 100 x (2 + 98) = 10000
  start("");

  load("at.csv");
  recording().events.clear();
  save("at.dxf");
  EXPECT_THAT(takeEvents(), ElementsAre(saveDialog("at.dxf", "at.csv"), kSaved));

  load("above.csv");
  EXPECT_EQ(int64_t{gViewer.table.columnCapacity} * gViewer.table.rowCapacity, 10100);
  recording().events.clear();
  recording().messageAnswers.push_back(MessageAnswer::cancel);
  save("never.dxf");
  EXPECT_THAT(takeEvents(), ElementsAre(kLargeQuestion));
  EXPECT_FALSE(exists("never.dxf"));
  recording().fileAnswers.clear();

  recording().messageAnswers.push_back(MessageAnswer::ok);
  save("above.dxf");
  EXPECT_THAT(takeEvents(), ElementsAre(kLargeQuestion, saveDialog("above.dxf", "above.csv"), kSaved));
  EXPECT_EQ(readFile("above.dxf"), expectedDocument(gridText(100, 99), false, {false, false, false, true}));

  // A two-row table grows for a long profile; a profile never asks.
  std::string xs = "0", ys = "0";
  for (int k = 1; k < 5000; ++k) xs += "," + std::to_string(k), ys += "," + std::to_string(k % 7);
  writeFile("long.csv", xs + "\n" + ys + "\n");
  clickRadio(ID_TWO_D);
  load("long.csv");
  EXPECT_GT(int64_t{gViewer.table.columnCapacity} * gViewer.table.rowCapacity, 10000);
  recording().events.clear();
  save("long.dxf");
  EXPECT_THAT(takeEvents(), ElementsAre(saveDialog("long.dxf", "long.csv"), kSaved));
}

// The size measure is formed in 64 bits: a product past 2^31 still asks.
TEST_F(ViewerSave, SizeMeasureDoesNotWrap) {
  writeFile("grid.csv", kExampleGrid);
  start("grid.csv");
  PointTable real = gViewer.table;
  // Only the capacities are looked at before the question; the answer is Cancel.
  gViewer.table.columnCapacity = 65536;
  gViewer.table.rowCapacity = 65536;  // 2^32: 0 in 32 bits
  recording().events.clear();
  recording().messageAnswers.push_back(MessageAnswer::cancel);
  click(ID_SAVE_BUTTON);
  gViewer.table = real;
  EXPECT_THAT(takeEvents(), ElementsAre(kLargeQuestion));
}

TEST_F(ViewerFlowTest, QuitAndCloseEndTheDialogWithZero) {
  writeFile("grid.csv", kExampleGrid);
  for (bool useClose : {false, true}) {
    recordingReset();
    start("grid.csv");
    recording().events.clear();
    if (useClose)
      viewerClose(recordingDialog());
    else
      click(ID_QUIT_BUTTON);
    EXPECT_THAT(takeEvents(), ElementsAre("end 0"));
    EXPECT_EQ(viewerLeave(recording().dialogResult), 0);
    EXPECT_EQ(gViewer.table.rows, nullptr);  // released
  }
}

}  // namespace
