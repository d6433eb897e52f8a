// pv_gui_bench: times plotvane.exe's dialog as a user meets it, from outside, on a grid file given
// on its command line; and, for scale in the same run, the drawing of the same canvas operations
// with one GDI call each. Under Wine the absolute times vary with the machine and its load; the
// ratios to the per-operation drawing hold.
//
//   pv_gui_bench PLOTVANE.EXE GRID.csv RUNS REPAINTS
//
// Prints one line per measurement, in seconds:
//   open S       process start to a dialog that answers with the grid drawn (one per run)
//   repaint S    RedrawWindow(INVALIDATE | ERASE | ALLCHILDREN | UPDATENOW) until it has painted
//   per-op S     the preview's operations drawn with one Rectangle/MoveToEx/LineTo call each into
//                a window of the dialog's client size (one per run)
//   area L,W,H   the live dialog's preview area
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/extended_precision.h"
#include "common/text_input.h"
#include "platform/canvas_list/canvas_list.h"
#include "platform/input_file.h"
#include "viewer/point_table.h"
#include "viewer/preview.h"

namespace {

double now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "pv_gui_bench: %s\n", what);
  std::exit(1);
}

struct Search {
  DWORD pid;
  HWND dialog;
};

BOOL CALLBACK findDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char caption[16] = {};
  if (pid == search->pid && IsWindowVisible(window) && GetWindowTextA(window, caption, sizeof caption) &&
      std::string(caption) == "plotvane") {
    search->dialog = window;
    return FALSE;
  }
  return TRUE;
}

// Until every paint that was pending has run: a sent message waits for the handler in progress,
// RDW_UPDATENOW runs the pending paints, and the last message waits for them.
bool settle(HWND dialog) {
  DWORD_PTR result;
  if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result)) return false;
  RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result) != 0;
}

PreviewArea liveArea(HWND dialog) {
  RECT panel{}, client{};
  GetClientRect(GetDlgItem(dialog, 100), &panel);
  GetClientRect(dialog, &client);
  return computePreviewArea(panel.right, panel.bottom, client.right);
}

// One start of the viewer on the grid: its open time, then its repaints.
PreviewArea timeViewer(const std::string& exe, const std::string& grid, int repaints) {
  std::string commandLine = "\"" + exe + "\" " + grid;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  double start = now();
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    fail("cannot start the viewer");
  Search search{process.dwProcessId, nullptr};
  while (!search.dialog) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) fail("the viewer ended before its dialog showed");
    EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
    if (!search.dialog) Sleep(5);
  }
  if (!settle(search.dialog)) fail("the dialog does not answer");
  std::printf("open %.3f\n", now() - start);
  std::fflush(stdout);
  for (int k = 0; k < repaints; ++k) {
    double begin = now();
    RedrawWindow(search.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (!settle(search.dialog)) fail("the dialog does not answer after a repaint");
    std::printf("repaint %.3f\n", now() - begin);
    std::fflush(stdout);
  }
  PreviewArea area = liveArea(search.dialog);
  PostMessageW(search.dialog, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return area;
}

std::vector<CanvasOp> previewOps(const std::string& grid, const PreviewArea& area) {
  TextInput in;
  if (inputFileOpen(&in, grid.c_str()).kind != IoResult::ok) fail("cannot open the grid file");
  PointTable table{};
  Extents extents{};
  if (readGridFile(&in, &table, &extents) != ReadResult::ok) fail("the grid does not fit in memory");
  textInputClose(&in);
  Canvas canvas;
  drawPreview3D(&canvas, area, table, extents);
  releaseTable(&table);
  return canvas.ops;
}

void pumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// The same operations, one GDI call each, into a window of the dialog's client size.
double timePerOperation(const std::vector<CanvasOp>& ops, int width, int height) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                                nullptr, nullptr);
  if (!window) fail("cannot create a window");
  pumpMessages();
  HDC dc = GetDC(window);
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  SelectObject(dc, GetStockObject(BLACK_PEN));
  double begin = now();
  for (const CanvasOp& op : ops) {
    switch (op.kind) {
      case CanvasOp::frame: Rectangle(dc, op.a, op.b, op.c, op.d); break;
      case CanvasOp::moveTo: MoveToEx(dc, op.a, op.b, nullptr); break;
      case CanvasOp::lineTo: LineTo(dc, op.a, op.b); break;
    }
  }
  GdiFlush();
  double seconds = now() - begin;
  ReleaseDC(window, dc);
  DestroyWindow(window);
  pumpMessages();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) fail("usage: pv_gui_bench PLOTVANE.EXE GRID.csv RUNS REPAINTS");
  const std::string exe = argv[1], grid = argv[2];
  const int runs = std::atoi(argv[3]), repaints = std::atoi(argv[4]);
  useExtendedPrecision();  // the operations plotvane draws
  PreviewArea area{};
  for (int run = 0; run < runs; ++run) area = timeViewer(exe, grid, repaints);
  std::printf("area %d,%d,%d\n", area.left, area.width, area.height);
  std::vector<CanvasOp> ops = previewOps(grid, area);
  for (int run = 0; run < runs; ++run) {
    std::printf("per-op %.3f\n", timePerOperation(ops, area.left + area.width + 1, area.height + 1));
    std::fflush(stdout);
  }
  return 0;
}
