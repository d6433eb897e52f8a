#include "viewer/viewer_dialog.h"

#include <cstring>
#include <new>

#include "common/command_line.h"
#include "common/extended_precision.h"
#include "common/path_text.h"
#include "common/program_texts.h"
#include "platform/file_system.h"
#include "viewer/dxf_writer.h"
#include "viewer/output_name.h"
#include "common/version.h"

ViewerState gViewer{};

namespace {

constexpr char kVersionText[] = "Ver." PV_VERSION;
constexpr FileDialogSetup kDxfSaveDialog{true, kDxfFilterName, kDxfFilterSpec, kDxfExtension, kSaveTitle};

// Memory exhaustion, wherever it happens, ends the process: the message, then status 1. Nothing
// may draw or save the table in the meantime (it may be half read).
FlowOutcome outOfMemory(Dialog* dialog) {
  gViewer.tableStale = true;
  messageBox(dialog, kOutOfMemoryText, kErrorCaption, MessageButtons::ok);
  return FlowOutcome::exitOutOfMemory;
}

// A failure says why in the status bar, and the same on the error stream.
void reportFailure(Dialog* dialog, const std::string& text) {
  setStatusText(dialog, text.c_str());
  writeErrorStream((text + "\n").c_str());
}

// Draws the table as what it was read as.
void drawTable(Dialog* dialog, SurfacePaint* paint) {
  Canvas* canvas = surfaceBegin(dialog, paint);
  if (!canvas) return;  // nothing to draw on now
  if (gViewer.tableDimension == Dimension::twoD)
    drawPreview2D(canvas, gViewer.previewArea, gViewer.table, gViewer.extents);
  else
    drawPreview3D(canvas, gViewer.previewArea, gViewer.table, gViewer.extents);
  surfaceEnd(dialog, canvas);
}

// Reads path with the reader of the dimension and draws it. A load that fails leaves the table
// stale, so that the file loaded before is neither drawn again nor saved under the new file's
// name; the status bar says so, and the error stream why.
FlowOutcome loadTable(Dialog* dialog, const std::string& path, Dimension dimension) {
  // The reader replaces the table; until it has succeeded nothing may draw or save it, not even
  // the paint requests that the memory message lets through.
  gViewer.tableStale = true;
  showWaitCursor(dialog, true);
  IoResult read = readTableFile(path.c_str(), dimension, &gViewer.table, &gViewer.extents);
  showWaitCursor(dialog, false);
  if (read.kind == IoResult::outOfMemory) return outOfMemory(dialog);  // the file itself may be fine
  if (read.kind == IoResult::failed) {
    reportFailure(dialog, kReadErrorPrefix + systemErrorText(read.error));
    surfaceRepaint(dialog);  // the table loaded before must not stay on the screen
    return FlowOutcome::carryOn;
  }
  gViewer.tableDimension = dimension;
  drawTable(dialog, nullptr);
  gViewer.tableStale = false;
  return FlowOutcome::carryOn;
}

Dimension checkedDimension(Dialog* dialog) {
  return isButtonChecked(dialog, ID_TWO_D) ? Dimension::twoD : Dimension::threeD;
}

// The load's last steps: the save dialog's proposal and, after a load that succeeded, the status.
FlowOutcome finishLoad(Dialog* dialog, const std::string& path, FlowOutcome outcome) {
  if (outcome != FlowOutcome::carryOn) return outcome;
  gViewer.outputName = outputName(path);
  gViewer.loadedPath = path;
  if (!gViewer.tableStale) setStatusText(dialog, kStatusNotSaved);
  return FlowOutcome::carryOn;
}

// The start-up file is a grid file, whatever the Dimension buttons say.
FlowOutcome loadStartupFile(Dialog* dialog) {
  return finishLoad(dialog, gViewer.startupPath, loadTable(dialog, gViewer.startupPath, Dimension::threeD));
}

FlowOutcome loadCommand(Dialog* dialog) {
  std::string path;
  if (!chooseFile(kCsvOpenDialog, &path)) return FlowOutcome::carryOn;
  setControlText(dialog, ID_FILE_NAME_LABEL, fileNamePart(path, directorySeparators()).c_str());
  return finishLoad(dialog, path, loadTable(dialog, path, checkedDimension(dialog)));
}

// Only a grid's table is sized from its file; a two-row table that grew for a long profile
// never asks.
bool confirmLargeSave(Dialog* dialog) {
  if (gViewer.tableDimension == Dimension::twoD || tableSizeMeasure(gViewer.table) <= kLargeSaveCells) return true;
  return messageBox(dialog, kLargeSaveQuestion, kNoteCaption, MessageButtons::okCancel) == MessageAnswer::ok;
}

FlowOutcome saveCommand(Dialog* dialog) {
  // A grid file without a complete first line leaves no table: there is nothing to save.
  if (gViewer.tableStale || !gViewer.table.rows) return FlowOutcome::carryOn;
  // The method is the buttons' at the moment the save starts.
  DxfMethod method{gViewer.tableDimension == Dimension::twoD, isButtonChecked(dialog, ID_LINE),
                   isButtonChecked(dialog, ID_MESH), isButtonChecked(dialog, ID_FACE)};
  if (!confirmLargeSave(dialog)) return FlowOutcome::carryOn;
  std::string path = gViewer.outputName;
  // Beside the file loaded, whatever folder the user chose before.
  const char* near = gViewer.loadedPath.empty() ? nullptr : gViewer.loadedPath.c_str();
  if (!chooseFile(kDxfSaveDialog, &path, near)) return FlowOutcome::carryOn;
  showWaitCursor(dialog, true);
  LeftBeside left;
  IoResult saved = saveDxfFile(path.c_str(), gViewer.table, method, &left);
  showWaitCursor(dialog, false);
  std::string leftText = left.newFile && left.oldFile ? fillIn(kLeftNewAndOld, {left.newFile, left.oldFile})
                         : left.newFile               ? fillIn(kLeftNew, {left.newFile})
                         : left.oldFile               ? fillIn(kLeftOld, {left.oldFile})
                                                      : "";
  leftBesideRelease(&left);
  // Memory exhaustion takes the program's one memory path, as while reading; the old file is
  // still in place either way.
  if (saved.kind == IoResult::outOfMemory) return outOfMemory(dialog);
  if (saved.kind == IoResult::failed) {
    reportFailure(dialog, kWriteErrorPrefix + systemErrorText(saved.error) + leftText);
    return FlowOutcome::carryOn;
  }
  if (leftText.empty()) {
    setStatusText(dialog, kStatusSaved);
  } else {
    reportFailure(dialog, kStatusSaved + leftText);
  }
  return FlowOutcome::carryOn;
}

// The loaded table stays in memory, but it was read for the other dimension.
void dimensionChange(Dialog* dialog) {
  bool methodShown = !isButtonChecked(dialog, ID_TWO_D);
  for (int id : {ID_METHOD_GROUP, ID_LINE, ID_MESH, ID_FACE}) showControl(dialog, id, methodShown);
  gViewer.tableStale = true;
  surfaceRepaint(dialog);  // what is neither drawn nor saved any more leaves the screen
}

// The preview area from the live layout of the dialog.
void measurePreviewArea(Dialog* dialog) {
  int panelWidth, panelHeight, dialogWidth, dialogHeight;
  clientSize(dialog, ID_PANEL, &panelWidth, &panelHeight);
  clientSize(dialog, 0, &dialogWidth, &dialogHeight);
  gViewer.previewArea = computePreviewArea(panelWidth, panelHeight, dialogWidth);
}

FlowOutcome startFlow(Dialog* dialog) {
  setControlText(dialog, ID_VERSION_LABEL, kVersionText);
  gViewer.tableStale = true;
  if (gViewer.entryOutOfMemory) return outOfMemory(dialog);
  measurePreviewArea(dialog);
  checkButton(dialog, ID_THREE_D);
  checkButton(dialog, ID_FACE);
  if (gViewer.startupPath.empty()) return FlowOutcome::carryOn;
  return loadStartupFile(dialog);
}

FlowOutcome commandFlow(Dialog* dialog, int controlId) {
  switch (controlId) {
    case ID_LOAD_BUTTON: return loadCommand(dialog);
    case ID_SAVE_BUTTON: return saveCommand(dialog);
    case ID_QUIT_BUTTON: endDialog(dialog, kDialogQuit); break;
    case ID_TWO_D:
    case ID_THREE_D: dimensionChange(dialog); break;
    default: break;
  }
  return FlowOutcome::carryOn;
}

}  // namespace

// The flows allocate strings as well as tables; the standard library reports exhaustion with
// std::bad_alloc, which ends in the entry points below, in the same memory path.
void viewerEnter(const char* commandLineTail) {
  useExtendedPrecision();
  releaseTable(&gViewer.table);
  gViewer = ViewerState{};
  try {
    gViewer.startupPath = pathFromTail(commandLineTail);
  } catch (const std::bad_alloc&) {
    gViewer.entryOutOfMemory = true;
  }
}

FlowOutcome viewerStart(Dialog* dialog) {
  useExtendedPrecision();
  try {
    return startFlow(dialog);
  } catch (const std::bad_alloc&) {
    return outOfMemory(dialog);
  }
}

void viewerPaint(Dialog* dialog, SurfacePaint* paint) {
  if (gViewer.tableStale) return;
  useExtendedPrecision();
  bool longDrawing = tableSizeMeasure(gViewer.table) > kLongDrawingCells;
  if (longDrawing) showWaitCursor(dialog, true);
  drawTable(dialog, paint);
  if (longDrawing) showWaitCursor(dialog, false);
}

FlowOutcome viewerCommand(Dialog* dialog, int controlId) {
  useExtendedPrecision();
  try {
    return commandFlow(dialog, controlId);
  } catch (const std::bad_alloc&) {
    return outOfMemory(dialog);
  }
}

void viewerClose(Dialog* dialog) { endDialog(dialog, kDialogQuit); }

void viewerLayoutChanged(Dialog* dialog) {
  measurePreviewArea(dialog);
  surfaceFit(dialog);
}

int viewerLeave(intptr_t dialogResult) {
  releaseTable(&gViewer.table);
  // Any other result is a failure: the memory exhaustion, or a dialog that could not be created.
  return dialogResult == kDialogQuit ? 0 : 1;
}
