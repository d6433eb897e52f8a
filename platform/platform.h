// The platform layer's dialog services, as free functions: the viewer's window and controls,
// message boxes, file dialogs and the process. Win32 implements them for the shipped programs
// (platform/win32/ and viewer/viewer_window_win32.cpp); the recording stand-in implements them
// for the native tests.
#pragma once

#include <string>

#include "platform/canvas.h"

// A dialog window (the viewer's dialog); nullptr stands for "no owner window".
struct Dialog;

// --- the viewer's drawing surface -----------------------------------------------------------
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

// --- controls -------------------------------------------------------------------------------
void setControlText(Dialog* dialog, int controlId, const char* text);
bool isButtonChecked(Dialog* dialog, int controlId);
void checkButton(Dialog* dialog, int controlId);
void showControl(Dialog* dialog, int controlId, bool visible);
void setStatusText(Dialog* dialog, const char* text);  // status bar part 0
// Client size of a control, or of the dialog itself when controlId is 0.
void clientSize(Dialog* dialog, int controlId, int* width, int* height);
void endDialog(Dialog* dialog, int result);
// Shows the wait cursor while a long command blocks the dialog (true), then the cursor before it
// (false). Calls nest.
void showWaitCursor(Dialog* dialog, bool waiting);

// --- message boxes and file dialogs ---------------------------------------------------------
enum class MessageButtons { ok, okCancel };
enum class MessageAnswer { ok, cancel };
// Modal message box; owner nullptr means none. Texts, like every text here, are UTF-8.
MessageAnswer messageBox(Dialog* owner, const char* text, const char* caption, MessageButtons buttons);

struct FileDialogSetup {
  bool save;                // save dialog, else open dialog
  const char* filterName;   // "CSV(*.csv)"
  const char* filterSpec;   // "*.csv"
  const char* defaultExtension;
  const char* title;
};
// Shows the dialog with *path as the initial file name (no owner, filter index 1, hide-read-only
// and overwrite-prompt). True with the chosen path in *path; false when cancelled or failed.
bool chooseFile(const FileDialogSetup& setup, std::string* path);

// --- process --------------------------------------------------------------------------------
// Appends text to the standard error stream, if the process has one, in the bytes the programs
// have always written there: code page 932 on Windows.
void writeErrorStream(const char* text);
// Starts a program the way the shell does (default verb, SW_SHOWNORMAL, no owner, no working
// directory); returns the shell's result code (32 and above means started). A program path, or
// parameters that are one path, of MAX_PATH characters or more go in their short form.
long long shellStart(const char* file, const char* parameters);
