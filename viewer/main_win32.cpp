// plotvane.exe: the process entry and the dialog procedure. Every message is one call into the
// dialog flows of viewer_dialog.cpp.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "common/command_line.h"
#include "platform/win32/wide_text.h"
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

// Runs after the dialog manager's own handling of a DPI change, which it posts behind.
constexpr UINT kLayoutChangedMessage = WM_APP + 2;

// The dialog moved to a monitor of another scale: it takes the rectangle Windows suggests, the
// dialog manager lays the controls and fonts out anew for the DPI (not handled here, so that it
// runs), and then the preview follows the new layout.
INT_PTR onDpiChanged(HWND window, const RECT* suggested) {
  SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageW(window, kLayoutChangedMessage, 0, 0);
  return FALSE;
}

INT_PTR onLayoutChanged(HWND window) {
  viewerLayoutChanged(dialogFromWindow(window));
  return TRUE;
}

INT_PTR CALLBACK viewerDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return onInitDialog(window);
    case kSurfacePaintMessage: return onSurfacePaint(window, reinterpret_cast<SurfacePaint*>(lParam));
    case WM_COMMAND: return onCommand(window, LOWORD(wParam));
    case WM_CLOSE: return onClose(window);
    case WM_DPICHANGED: return onDpiChanged(window, reinterpret_cast<const RECT*>(lParam));
    case kLayoutChangedMessage: return onLayoutChanged(window);
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};  // the status bar
  InitCommonControlsEx(&controls);
  // The command line as UTF-16, whatever characters its path holds; the tail rule reads UTF-8.
  std::string commandLine = utf8Text(GetCommandLineW());
  viewerEnter(commandLineTail(commandLine.c_str()));
  // A Unicode dialog: its controls show the template's texts on every system code page.
  INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(VIEWER_DIALOG), nullptr, viewerDialogProc, 0);
  return viewerLeave(result);
}
