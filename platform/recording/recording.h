// The recording stand-in for the platform layer: every call is logged in order, dialogs and
// message boxes take scripted answers, and the canvas keeps its operations.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/canvas_list/canvas_list.h"
#include "platform/viewer_window.h"

struct Recording {
  std::vector<std::string> events;  // "messageBox Error: text", "status 未出力", ...
  std::deque<MessageAnswer> messageAnswers;              // default ok
  std::deque<std::optional<std::string>> fileAnswers;    // nullopt = cancelled; default cancelled
  std::deque<long long> shellResults;                    // default 42 (started)
  std::map<int, std::string> controlTexts;
  std::map<int, bool> checked;
  // The radio groups of the dialog under test: checking a button clears the others of its group.
  // The test sets them; recordingReset keeps them.
  std::vector<std::vector<int>> radioGroups;
  std::map<int, bool> hidden;
  std::map<int, std::pair<int, int>> clientSizes;  // 0 = the dialog
  std::string statusText;
  std::string errorStream;
  Canvas canvas;        // the one surface; a drawing starts a new op list in it
  int drawings = 0;     // surfaceBegin calls
  bool noSurface = false;  // surfaceBegin has nothing to draw on (no surface window could be made)
  int waitCursor = 0;   // showWaitCursor depth
  int waits = 0;        // times the wait cursor came up
  bool dialogEnded = false;
  int dialogResult = -1;
  std::vector<FileDialogSetup> fileDialogs;  // setups shown, in order
  std::vector<std::string> fileDialogInitialNames;
};

// The stand-in's state; recordingReset starts afresh.
Recording& recording();
void recordingReset();
// The stand-in's dialog handle.
Dialog* recordingDialog();
