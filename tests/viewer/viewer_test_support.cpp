#include "tests/viewer/viewer_test_support.h"

#include <algorithm>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

const char kExampleGrid[] = "XYZ,0,10,30\n0,11,12,13\n10,21,22,23\n20,31,32,33\n30,41,42,43\n";

std::vector<CanvasOp> exampleGridOps() {
  auto move = [](int x, int y) { return CanvasOp{CanvasOp::moveTo, x, y, 0, 0}; };
  auto line = [](int x, int y) { return CanvasOp{CanvasOp::lineTo, x, y, 0, 0}; };
  return {
      {CanvasOp::frame, 101, 0, 302, 151},
      // column polylines
      move(133, 117), line(155, 78), line(177, 39), line(200, 0),
      move(155, 127), line(177, 88), line(200, 50), line(222, 11),
      move(200, 150), line(222, 112), line(244, 73), line(267, 34),
      // row polylines
      move(133, 117), line(155, 127), line(200, 150),
      move(155, 78), line(177, 88), line(222, 112),
      move(177, 39), line(200, 50), line(244, 73),
      move(200, 0), line(222, 11), line(267, 34),
  };
}

void ViewerFlowTest::SetUp() {
  std::random_device random;
  fs::path folder = fs::temp_directory_path() / ("pv-viewer-" + std::to_string(random()));
  ASSERT_TRUE(fs::create_directory(folder)) << folder;
  folder_ = folder.string();
  previousFolder_ = fs::current_path().string();
  fs::current_path(folder);
  recordingReset();
  recording().radioGroups = {{ID_TWO_D, ID_THREE_D}, {ID_LINE, ID_MESH, ID_FACE}};
  viewerEnter("");
}

void ViewerFlowTest::TearDown() {
  viewerLeave(kDialogQuit);
  fs::current_path(previousFolder_);
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

FlowOutcome ViewerFlowTest::start(const std::string& tail) {
  viewerEnter(tail.c_str());
  recording().clientSizes[ID_PANEL] = {100, 151};
  recording().clientSizes[0] = {302, 190};
  return viewerStart(recordingDialog());
}

FlowOutcome ViewerFlowTest::clickRadio(int id) {
  for (const std::vector<int>& group : recording().radioGroups)
    if (std::find(group.begin(), group.end(), id) != group.end())
      for (int other : group) recording().checked[other] = other == id;
  return viewerCommand(recordingDialog(), id);
}

FlowOutcome ViewerFlowTest::load(const std::string& path) {
  recording().fileAnswers.push_back(path);
  return viewerCommand(recordingDialog(), ID_LOAD_BUTTON);
}

void ViewerFlowTest::save(const std::string& path) {
  recording().fileAnswers.push_back(path);
  viewerCommand(recordingDialog(), ID_SAVE_BUTTON);
}

std::vector<std::string> ViewerFlowTest::takeEvents() {
  std::vector<std::string> taken;
  taken.swap(recording().events);
  return taken;
}
