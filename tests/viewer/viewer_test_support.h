// Shared fixture of the viewer's flow tests: a fresh recording stand-in, a fresh viewer state and
// a private working folder, so that relative paths name files the test made.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/recording/recording.h"
#include "tests/test_files.h"
#include "viewer/viewer_dialog.h"

class ViewerFlowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Names in the working folder (or another), sorted.
  static std::vector<std::string> folderEntries(const std::string& folder = ".") { return namesIn(folder); }
  static bool exists(const std::string& name) { return std::filesystem::exists(name); }

  // Process entry and dialog initialisation with the example panel (100 x 151) and dialog
  // (302 wide); events of the start are kept unless the test clears them.
  FlowOutcome start(const std::string& tail);
  // The user clicks a radio button: it becomes checked (automatic radio), then its command runs.
  FlowOutcome clickRadio(int id);
  FlowOutcome click(int id) { return viewerCommand(recordingDialog(), id); }
  // The load command with the open dialog answering path.
  FlowOutcome load(const std::string& path);
  // The save command with the save dialog answering path (nothing scripted: cancelled).
  void save(const std::string& path);

  std::vector<std::string>& events() { return recording().events; }
  std::vector<std::string> takeEvents();

  std::string folder_;
  std::string previousFolder_;
};

inline void PrintTo(const CanvasOp& op, std::ostream* os) {
  static const char* const names[] = {"frame", "moveTo", "lineTo"};
  *os << names[op.kind] << "(" << op.a << ", " << op.b;
  if (op.kind == CanvasOp::frame) *os << ", " << op.c << ", " << op.d;
  *os << ")";
}

// The example grid: three columns (X 0, 10, 30) by four rows (Y 0 to 30) with Z = 10 j + i, so
// that swapped axes show; its 3D drawing in the example area is known.
extern const char kExampleGrid[];
std::vector<CanvasOp> exampleGridOps();
