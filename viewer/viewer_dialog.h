// The viewer's dialog: its process-wide state and the flows behind the dialog's messages. The
// flows reach the window only through platform/viewer_window.h, so the recording stand-in can
// drive them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/viewer_window.h"
#include "viewer/point_table.h"
#include "viewer/preview.h"
#include "viewer/viewer_controls.h"

// The viewer's state, one instance for the process.
struct ViewerState {
  std::string startupPath;  // path named by the command-line tail; empty without one
  std::string outputName;   // the save dialog's initial name, from the path last chosen for loading
  std::string loadedPath;   // that path: the save dialog opens in its folder; empty before any
  bool tableStale;          // set: the table must be neither drawn nor saved
  Dimension tableDimension;  // what the table was read as (meaningful while it is not stale)
  bool entryOutOfMemory;    // the process entry ran out of memory before a dialog could say so
  PointTable table;
  Extents extents;
  PreviewArea previewArea;  // set when the dialog starts, and again when its layout changes
};
extern ViewerState gViewer;

// Above this many cells (columnCapacity x rowCapacity) the save asks before it starts.
constexpr int64_t kLargeSaveCells = 10000;
// Above this many cells a repaint takes long enough to show the wait cursor.
constexpr int64_t kLongDrawingCells = 250000;

// What the platform side does once a flow has returned.
enum class FlowOutcome {
  carryOn,
  exitOutOfMemory,  // the memory message has been shown: end the process with kExitOutOfMemory
};
constexpr int kExitOutOfMemory = 1;
// Dialog results, which are also the process's exit statuses.
constexpr intptr_t kDialogQuit = 0;
constexpr intptr_t kDialogOutOfMemory = kExitOutOfMemory;

// Process entry: takes the command-line tail (see commandLineTail) and starts with a fresh state.
// Every entry point below sets the x87 unit to round to 64 bits first (useExtendedPrecision).
void viewerEnter(const char* commandLineTail);
// Dialog initialisation: version text, stale table, preview area, 3D and Face checked, then the
// start-up load of startupPath when there is one.
FlowOutcome viewerStart(Dialog* dialog);
// Paint request: redraws the table into the paint unless it is stale.
void viewerPaint(Dialog* dialog, SurfacePaint* paint);
// A command by control identifier: 104 load, 106 save, 107 quit, 109/110 Dimension change; the
// rest do nothing.
FlowOutcome viewerCommand(Dialog* dialog, int controlId);
// Close request: ends the dialog like the quit button.
void viewerClose(Dialog* dialog);
// The dialog was laid out anew (moved to a monitor of another DPI): the preview area is measured
// again and the surface fitted to it; the next paint draws the table for the new area.
void viewerLayoutChanged(Dialog* dialog);
// After the dialog has ended: releases the table; returns the process's exit status.
int viewerLeave(intptr_t dialogResult);
