// plotvane.exe: the process entry and the dialog procedure. Every message is one call into the
// dialog flows of viewer_dialog.cpp.
#include <windows.h>

#include <commctrl.h>

#include "common/command_line.h"
#include "platform/win32/win32_handles.h"
#include "viewer/viewer_dialog.h"
#include "viewer/viewer_window_win32.h"

namespace {

// The memory exhaustion ends the dialog, and with it the process, with status 1.
INT_PTR finishFlow(HWND window, FlowOutcome outcome, INT_PTR handled) {
  if (outcome == FlowOutcome::exitOutOfMemory) EndDialog(window, kDialogOutOfMemory);
  return handled;
}

INT_PTR onInitDialog(HWND window) { return finishFlow(window, viewerStart(dialogFromWindow(window)), TRUE); }

// The surface's paint request; the dialog's own WM_PAINT keeps its default handling.
INT_PTR onSurfacePaint(HWND window, SurfacePaint* paint) {
  viewerPaint(dialogFromWindow(window), paint);
  return TRUE;
}

// The notification code is not looked at; only the quit command counts as handled.
INT_PTR onCommand(HWND window, int controlId) {
  return finishFlow(window, viewerCommand(dialogFromWindow(window), controlId), controlId == ID_QUIT_BUTTON);
}

INT_PTR onClose(HWND window) {
  viewerClose(dialogFromWindow(window));
  return TRUE;
}

INT_PTR CALLBACK viewerDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return onInitDialog(window);
    case kSurfacePaintMessage: return onSurfacePaint(window, reinterpret_cast<SurfacePaint*>(lParam));
    case WM_COMMAND: return onCommand(window, LOWORD(wParam));
    case WM_CLOSE: return onClose(window);
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};  // the status bar
  InitCommonControlsEx(&controls);
  viewerEnter(commandLineTail(GetCommandLineA()));
  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(VIEWER_DIALOG), nullptr, viewerDialogProc, 0);
  return viewerLeave(result);
}
