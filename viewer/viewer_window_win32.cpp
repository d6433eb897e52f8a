// The viewer's window on Win32: its controls, its status bar and its one drawing surface, the
// canvas that draws with GDI.
#include "viewer/viewer_window_win32.h"

#include <commctrl.h>

#include "platform/viewer_window.h"
#include "platform/polyline_batch/polyline_batch.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_handles.h"
#include "viewer/viewer_controls.h"

// The operations go to GDI as polylines, many in one call and without the lines that paint nothing
// new: a dense grid's preview is millions of operations, and a call for each costs ten times the
// drawing (polyline_batch.h).
struct Canvas {
  HDC dc;
  HWND surface;
  bool ownDc;  // from GetDC, released by surfaceEnd; else the paint's
  HGDIOBJ previousBrush;
  HGDIOBJ previousPen;
  POINT previousOrigin;
  PolylineBatch batch;
};

namespace {

constexpr wchar_t kSurfaceClass[] = L"PlotvaneSurface";

// The window's state for the process: one dialog, one surface, one drawing at a time.
struct ViewerWindow {
  Canvas canvas;
  bool surfaceClassRegistered;
  int waitDepth;  // showWaitCursor calls not yet ended
};
ViewerWindow gWindow;

HWND control(Dialog* dialog, int controlId) { return GetDlgItem(dialogWindow(dialog), controlId); }

// Where nothing is drawn the surface looks like the dialog around it.
void fillBackground(HWND surface, HDC dc) {
  RECT client;
  GetClientRect(surface, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
}

// Runs the dialog's paint flow into dc, which already shows the background.
void paintThrough(HWND surface, HDC dc) {
  SurfacePaint paint{dc};
  SendMessageW(GetParent(surface), kSurfacePaintMessage, 0, reinterpret_cast<LPARAM>(&paint));
}

LRESULT onSurfacePaint(HWND surface) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(surface, &paint);  // erases the update region through WM_ERASEBKGND
  // Wine sends a child another WM_PAINT with nothing to update after its parent painted: a drawing
  // of a large grid would take as long again and change no pixel.
  if (IsRectEmpty(&paint.rcPaint)) {
    EndPaint(surface, &paint);
    return 0;
  }
  paintThrough(surface, dc);
  EndPaint(surface, &paint);
  return 0;
}

LRESULT onSurfacePrintClient(HWND surface, HDC dc) {
  fillBackground(surface, dc);
  paintThrough(surface, dc);
  return 0;
}

LRESULT onSurfaceEraseBackground(HWND surface, HDC dc) {
  fillBackground(surface, dc);
  return 1;
}

LRESULT CALLBACK surfaceProc(HWND surface, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: return onSurfacePaint(surface);
    case WM_PRINTCLIENT: return onSurfacePrintClient(surface, reinterpret_cast<HDC>(wParam));
    case WM_ERASEBKGND: return onSurfaceEraseBackground(surface, reinterpret_cast<HDC>(wParam));
    case WM_NCHITTEST: return HTTRANSPARENT;  // clicks belong to the dialog
  }
  return DefWindowProcW(surface, message, wParam, lParam);
}

RECT rectInDialog(HWND dialog, HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The surface covers the preview side of the client area: right of the left panel, above the
// status bar.
RECT surfaceArea(HWND dialog) {
  RECT area{};
  GetClientRect(dialog, &area);
  if (HWND panel = GetDlgItem(dialog, ID_PANEL)) area.left = rectInDialog(dialog, panel).right;
  // The style, not IsWindowVisible: during WM_INITDIALOG the dialog itself is not shown yet.
  HWND bar = GetDlgItem(dialog, ID_STATUS_BAR);
  if (bar && (GetWindowLongPtrW(bar, GWL_STYLE) & WS_VISIBLE)) area.bottom = rectInDialog(dialog, bar).top;
  return area;
}

// The surface lies on top of the controls, and the few that reach into it (the Method group box is
// a pixel wider than the panel) get WS_CLIPSIBLINGS, so that no repaint of theirs can break the
// frame.
void clipSiblingsUnder(HWND dialog, HWND surface, const RECT& area) {
  for (HWND sibling = GetWindow(dialog, GW_CHILD); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    RECT overlap, siblingRect = rectInDialog(dialog, sibling);
    if (sibling != surface && IntersectRect(&overlap, &siblingRect, &area))
      SetWindowLongPtrW(sibling, GWL_STYLE, GetWindowLongPtrW(sibling, GWL_STYLE) | WS_CLIPSIBLINGS);
  }
}

HWND createSurface(HWND dialog) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!gWindow.surfaceClassRegistered) {
    WNDCLASSW surfaceClass{};
    surfaceClass.lpfnWndProc = surfaceProc;
    surfaceClass.hInstance = instance;
    surfaceClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    surfaceClass.lpszClassName = kSurfaceClass;
    gWindow.surfaceClassRegistered = RegisterClassW(&surfaceClass) != 0;
  }
  RECT area = surfaceArea(dialog);
  HWND surface = CreateWindowExW(0, kSurfaceClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, area.left, area.top,
                                 area.right - area.left, area.bottom - area.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSurfaceControlId)), instance, nullptr);
  if (!surface) return nullptr;
  SetWindowPos(surface, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  clipSiblingsUnder(dialog, surface, area);
  return surface;
}

// The canvas speaks the dialog's client coordinates.
void useDialogCoordinates(HWND dialog, HWND surface, HDC dc, POINT* previousOrigin) {
  POINT origin{0, 0};
  MapWindowPoints(surface, dialog, &origin, 1);
  SetViewportOrgEx(dc, -origin.x, -origin.y, previousOrigin);
}

}  // namespace

namespace {

static_assert(sizeof(POINT) == sizeof(BatchPoint) && sizeof(DWORD) == sizeof(uint32_t));

void drawPolylines(void* context, const BatchPoint* points, const uint32_t* counts, int polylines) {
  PolyPolyline(static_cast<Canvas*>(context)->dc, reinterpret_cast<const POINT*>(points),
               reinterpret_cast<const DWORD*>(counts), static_cast<DWORD>(polylines));
}

}  // namespace

void canvasFrame(Canvas* canvas, int left, int top, int right, int bottom) {
  batchFrame(&canvas->batch);
  Rectangle(canvas->dc, left, top, right, bottom);
}

void canvasMoveTo(Canvas* canvas, int x, int y) { batchMoveTo(&canvas->batch, x, y); }

void canvasLineTo(Canvas* canvas, int x, int y) { batchLineTo(&canvas->batch, x, y); }

Canvas* surfaceBegin(Dialog* dialog, SurfacePaint* paint) {
  HWND window = dialogWindow(dialog);
  HWND surface = GetDlgItem(window, kSurfaceControlId);
  if (!surface) surface = createSurface(window);
  if (!surface) return nullptr;  // GetDC(nullptr) would draw on the whole screen
  Canvas* canvas = &gWindow.canvas;
  canvas->surface = surface;
  if (paint) {
    canvas->dc = paint->dc;
    canvas->ownDc = false;
  } else {
    // Not on the screen yet (the start-up load runs before the dialog shows): the first paint
    // draws it.
    if (!IsWindowVisible(surface)) return nullptr;
    // A drawing outside a paint (after a load) starts from a clean surface, so nothing of the
    // previous drawing outside the new frame survives.
    canvas->dc = GetDC(surface);
    if (!canvas->dc) return nullptr;
    canvas->ownDc = true;
    fillBackground(surface, canvas->dc);
  }
  useDialogCoordinates(window, surface, canvas->dc, &canvas->previousOrigin);
  canvas->previousBrush = SelectObject(canvas->dc, GetStockObject(WHITE_BRUSH));
  canvas->previousPen = SelectObject(canvas->dc, GetStockObject(BLACK_PEN));
  // The canvas speaks the dialog's client coordinates; pixels are tracked over its client area.
  RECT client{};
  GetClientRect(window, &client);
  batchBegin(&canvas->batch, client.right, client.bottom, drawPolylines, canvas);
  return canvas;
}

void surfaceEnd(Dialog*, Canvas* canvas) {
  batchEnd(&canvas->batch);
  SelectObject(canvas->dc, canvas->previousBrush);
  SelectObject(canvas->dc, canvas->previousPen);
  SetViewportOrgEx(canvas->dc, canvas->previousOrigin.x, canvas->previousOrigin.y, nullptr);
  if (canvas->ownDc) ReleaseDC(canvas->surface, canvas->dc);
  canvas->dc = nullptr;
}

void surfaceFit(Dialog* dialog) {
  HWND window = dialogWindow(dialog);
  HWND surface = GetDlgItem(window, kSurfaceControlId);
  if (!surface) return;  // made to the new layout at the first drawing
  RECT area = surfaceArea(window);
  MoveWindow(surface, area.left, area.top, area.right - area.left, area.bottom - area.top, FALSE);
  clipSiblingsUnder(window, surface, area);
  // The next paint draws the table for the new preview area.
  InvalidateRect(surface, nullptr, TRUE);
}

void surfaceRepaint(Dialog* dialog) {
  // No surface yet: nothing was drawn.
  if (HWND surface = GetDlgItem(dialogWindow(dialog), kSurfaceControlId)) InvalidateRect(surface, nullptr, TRUE);
}

void setControlText(Dialog* dialog, int controlId, const char* text) {
  SetWindowTextW(control(dialog, controlId), wideText(text).c_str());
}

bool isButtonChecked(Dialog* dialog, int controlId) {
  return SendDlgItemMessageW(dialogWindow(dialog), controlId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

namespace {

bool isRadioButton(HWND window) {
  LONG_PTR type = GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON;
}

bool startsGroup(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_GROUP) != 0; }

}  // namespace

// Checks the button and clears the radio buttons of its group (from the control that starts the
// group to the next one that does), as a click on an automatic radio button would.
void checkButton(Dialog* dialog, int controlId) {
  HWND button = control(dialog, controlId);
  if (!button) return;
  HWND first = button;
  while (!startsGroup(first)) {
    HWND previous = GetWindow(first, GW_HWNDPREV);
    if (!previous) break;
    first = previous;
  }
  for (HWND other = first; other; other = GetWindow(other, GW_HWNDNEXT)) {
    if (other != first && startsGroup(other)) break;
    if (other != button && isRadioButton(other)) SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
}

void showControl(Dialog* dialog, int controlId, bool visible) {
  ShowWindow(control(dialog, controlId), visible ? SW_SHOW : SW_HIDE);
}

void setStatusText(Dialog* dialog, const char* text) {
  std::wstring wide = wideText(text);
  SendMessageW(control(dialog, ID_STATUS_BAR), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));  // part 0
}

void clientSize(Dialog* dialog, int controlId, int* width, int* height) {
  HWND window = controlId ? control(dialog, controlId) : dialogWindow(dialog);
  RECT client{};
  GetClientRect(window, &client);
  *width = client.right - client.left;
  *height = client.bottom - client.top;
}

void endDialog(Dialog* dialog, int result) { EndDialog(dialogWindow(dialog), result); }

namespace {

// The window of the dialog under the pointer, or nullptr when the pointer is elsewhere: the
// cursor there is not the dialog's to set.
HWND windowUnderPointer(HWND dialog, POINT* pointer) {
  if (!GetCursorPos(pointer)) return nullptr;
  HWND under = WindowFromPoint(*pointer);
  return under && (under == dialog || IsChild(dialog, under)) ? under : nullptr;
}

}  // namespace

// While a command blocks the dialog, no WM_SETCURSOR arrives: the wait cursor is set directly, and
// only over the dialog. Afterwards the window under the pointer sets the cursor it would have, as
// it does for every move of the pointer.
void showWaitCursor(Dialog* dialog, bool waiting) {
  HWND window = dialogWindow(dialog);
  POINT pointer;
  if (waiting && gWindow.waitDepth++ == 0) {
    if (windowUnderPointer(window, &pointer)) SetCursor(LoadCursor(nullptr, IDC_WAIT));
  } else if (!waiting && gWindow.waitDepth > 0 && --gWindow.waitDepth == 0) {
    if (HWND under = windowUnderPointer(window, &pointer)) {
      LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(pointer.x, pointer.y));
      SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
    }
  }
}
