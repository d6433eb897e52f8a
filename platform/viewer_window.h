// The viewer's window as free functions: its drawing surface and its controls. Win32 implements
// them in viewer/viewer_window_win32.cpp; the recording stand-in for the native tests.
#pragma once

#include "platform/canvas.h"
#include "platform/dialogs.h"

// --- the drawing surface --------------------------------------------------------------------
// A paint of the surface in progress, which the platform hands to the dialog's paint flow.
struct SurfacePaint;
// A drawing on the viewer's one surface, a child covering the dialog's client area that is
// created on first use and reused by every later drawing: inside a paint (paint not nullptr) the
// canvas draws into it, outside one onto the surface directly. nullptr when there is nothing to
// draw on now (no surface could be made, or it is not on the screen: a later paint draws then).
// surfaceEnd finishes the drawing.
Canvas* surfaceBegin(Dialog* dialog, SurfacePaint* paint);
void surfaceEnd(Dialog* dialog, Canvas* canvas);
// Fits the surface to the dialog's layout after it changed (a monitor of another DPI) and asks
// for a paint, which draws for the new layout.
void surfaceFit(Dialog* dialog);
// Asks for a paint of the whole surface: after the table became stale it clears the old drawing.
void surfaceRepaint(Dialog* dialog);

// --- controls -------------------------------------------------------------------------------
void setControlText(Dialog* dialog, int controlId, const char* text);
bool isButtonChecked(Dialog* dialog, int controlId);
// Checks an automatic radio button and clears the others of its group.
void checkButton(Dialog* dialog, int controlId);
void showControl(Dialog* dialog, int controlId, bool visible);
void setStatusText(Dialog* dialog, const char* text);  // status bar part 0
// Client size of a control, or of the dialog itself when controlId is 0.
void clientSize(Dialog* dialog, int controlId, int* width, int* height);
void endDialog(Dialog* dialog, int result);
// Shows the wait cursor while a long command blocks the dialog (true), then the cursor before it
// (false). Calls nest.
void showWaitCursor(Dialog* dialog, bool waiting);
