#include "platform/recording/recording.h"

#include <algorithm>
#include <string>

#include "common/memory.h"

struct Dialog {
  int unused;
};

namespace {
Recording gRecording;
Dialog gDialog;

// The stand-in's bookkeeping is no allocation of the program under test: fault-injection tests
// neither count it nor make it fail.
struct StandInAllocations {
  StandInAllocations() { pauseAllocationHook(); }
  ~StandInAllocations() { resumeAllocationHook(); }
  StandInAllocations(const StandInAllocations&) = delete;
  StandInAllocations& operator=(const StandInAllocations&) = delete;
};

void log(std::string text) { gRecording.events.push_back(std::move(text)); }
}  // namespace

Recording& recording() { return gRecording; }
void recordingReset() {
  std::vector<std::vector<int>> groups = std::move(gRecording.radioGroups);
  gRecording = Recording{};
  gRecording.radioGroups = std::move(groups);
}
Dialog* recordingDialog() { return &gDialog; }

Canvas* surfaceBegin(Dialog*, SurfacePaint*) {
  StandInAllocations standIn;
  if (gRecording.noSurface) return nullptr;
  ++gRecording.drawings;
  gRecording.canvas.ops.clear();
  log("draw");
  return &gRecording.canvas;
}
void surfaceEnd(Dialog*, Canvas*) {}
void surfaceFit(Dialog*) {
  StandInAllocations standIn;
  log("fit");
}
void surfaceRepaint(Dialog*) {
  StandInAllocations standIn;
  log("repaint");
}

void setControlText(Dialog*, int controlId, const char* text) {
  StandInAllocations standIn;
  gRecording.controlTexts[controlId] = text;
  log("text " + std::to_string(controlId) + " " + text);
}
bool isButtonChecked(Dialog*, int controlId) {
  StandInAllocations standIn;
  return gRecording.checked[controlId];
}
void checkButton(Dialog*, int controlId) {
  StandInAllocations standIn;
  // Automatic radio buttons: checking one clears the others of its group.
  for (const std::vector<int>& group : gRecording.radioGroups)
    if (std::find(group.begin(), group.end(), controlId) != group.end())
      for (int other : group) gRecording.checked[other] = false;
  gRecording.checked[controlId] = true;
  log("check " + std::to_string(controlId));
}
void showControl(Dialog*, int controlId, bool visible) {
  StandInAllocations standIn;
  gRecording.hidden[controlId] = !visible;
  log((visible ? "show " : "hide ") + std::to_string(controlId));
}
void setStatusText(Dialog*, const char* text) {
  StandInAllocations standIn;
  gRecording.statusText = text;
  log(std::string("status ") + text);
}
void clientSize(Dialog*, int controlId, int* width, int* height) {
  auto it = gRecording.clientSizes.find(controlId);
  *width = it == gRecording.clientSizes.end() ? 0 : it->second.first;
  *height = it == gRecording.clientSizes.end() ? 0 : it->second.second;
}
void showWaitCursor(Dialog*, bool waiting) {
  if (waiting && gRecording.waitCursor++ == 0) ++gRecording.waits;
  if (!waiting) --gRecording.waitCursor;
}
void endDialog(Dialog*, int result) {
  StandInAllocations standIn;
  gRecording.dialogEnded = true;
  gRecording.dialogResult = result;
  log("end " + std::to_string(result));
}

MessageAnswer messageBox(Dialog* owner, const char* text, const char* caption, MessageButtons buttons) {
  StandInAllocations standIn;
  log(std::string("messageBox ") + (owner ? "owned " : "") + caption + (buttons == MessageButtons::okCancel ? " [OK Cancel]: " : ": ") + text);
  if (gRecording.messageAnswers.empty()) return MessageAnswer::ok;
  MessageAnswer answer = gRecording.messageAnswers.front();
  gRecording.messageAnswers.pop_front();
  return answer;
}

bool chooseFile(const FileDialogSetup& setup, std::string* path, const char* nearFile) {
  std::optional<std::string> answer;
  {
    StandInAllocations standIn;
    gRecording.fileDialogs.push_back(setup);
    gRecording.fileDialogInitialNames.push_back(*path);
    log(std::string(setup.save ? "saveDialog " : "openDialog ") + setup.title + " [" + *path + "]" +
        (nearFile ? std::string(" near ") + nearFile : ""));
    if (gRecording.fileAnswers.empty()) return false;
    answer = std::move(gRecording.fileAnswers.front());
    gRecording.fileAnswers.pop_front();
    if (!answer) return false;
  }
  // The chosen name goes into the caller's string, as the real dialog's does: that allocation
  // is the program's.
  *path = *answer;
  return true;
}

void writeErrorStream(const char* text) {
  StandInAllocations standIn;
  gRecording.errorStream += text;
  log(std::string("stderr ") + text);
}

long long shellStart(const char* file, const char* parameters, ShellStart how) {
  StandInAllocations standIn;
  log(std::string(how == ShellStart::sibling ? "shellStart sibling " : "shellStart ") + file + " " + parameters);
  if (gRecording.shellResults.empty()) return 42;
  long long result = gRecording.shellResults.front();
  gRecording.shellResults.pop_front();
  return result;
}
