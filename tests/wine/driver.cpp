// pv_wine_driver: works a running plotvane.exe from outside, the way a user would, and prints what
// it sees. The arguments are steps, run in order; each query prints one line (UTF-8):
//
//   start EXE TAIL STDERR   start EXE with the command-line tail TAIL, its error stream into STDERR
//   dialog                  wait for the plotvane dialog
//   text ID | visible ID | checked ID | style ID | rect ID | status | area | dialog-info | acp
//   click ID                post a button click (BM_CLICK) and go on
//   click-sync ID           send the click and wait until the dialog has handled it (no modal window)
//   open-file PATH | save-file PATH   fill the open or save dialog, confirm (replacing a file when
//                           asked), wait until it has closed and the command is done
//   cancel-file             cancel the open or save dialog that is shown
//   message ok|cancel       print the message box's caption and text, then answer it
//   no-window MS            fail if any other window of the program shows up within MS ms
//   sync                    wait until the dialog has handled everything sent before
//   capture FILE.ppm        the dialog's client area as the screen shows it
//   invalidate | cover | minimize-restore   make the dialog repaint itself
//   precision-profile FILE WIDTH   write a two-row file whose columns differ between 53-bit and
//                           64-bit rounding when drawn with a preview area WIDTH wide
//   signal FILE | await FILE   create FILE / wait until FILE exists (to let the caller act)
//   close | wait-exit | sleep MS
//
// A viewer that another program started (gridfold, or a shell) is worked the same way:
//
//   viewer-dialog           wait for a plotvane dialog of another process and work that process
//                           from here on; an "Error" box showing up first is a failure
//   image                   the full path of the program now worked, in its long form
//   processes NAME          how many processes run the image NAME (gridfold starts the viewer
//                           before it ends, so a count taken after its exit is final)
//   message-cp932           the shown message box's caption and text as the ANSI functions give
//                           them, in hex, without answering it
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

PROCESS_INFORMATION gProcess{};
HWND gDialog;
int gFailures;

// Every wait and timeout is multiplied by PV_DRIVER_TIME_SCALE (default 1): a program run under
// emulation starts and answers many times slower.
DWORD gTimeScale = 1;
DWORD ms(DWORD base) { return base * gTimeScale; }
DWORD timeoutMs() { return ms(20000); }

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// Line breaks shown as \n so that each answer stays on one line.
std::string oneLine(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c != '\r') out += c;
  }
  return out;
}

void fail(const std::string& what) {
  std::printf("FAIL %s\n", what.c_str());
  std::fflush(stdout);
  ++gFailures;
}

std::wstring windowText(HWND window) {
  wchar_t buffer[4096];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, ms(5000), &length))
    return L"<no answer>";
  return std::wstring(buffer, length);
}

std::wstring className(HWND window) {
  wchar_t buffer[256];
  int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

DWORD processOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  if (window != gDialog && processOf(window) == search->pid && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

// The program's visible top-level windows, the dialog excluded.
std::vector<HWND> otherWindows() {
  WindowSearch search{gProcess.dwProcessId, {}};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The first other window of the program; with a title given, one of another title is a failure.
HWND waitForWindow(const std::wstring& title, DWORD timeoutMs = 0) {
  if (timeoutMs == 0) timeoutMs = ::timeoutMs();
  DWORD begin = GetTickCount();
  while (GetTickCount() - begin < timeoutMs) {
    std::vector<HWND> others = otherWindows();
    if (!others.empty()) {
      std::wstring shown = windowText(others.front());
      if (title.empty() || shown == title) return others.front();
      fail("expected the window \"" + utf8(title) + "\" but \"" + utf8(shown) + "\" appeared");
      return nullptr;
    }
    if (WaitForSingleObject(gProcess.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(50);
  }
  fail("no window \"" + utf8(title) + "\" appeared");
  return nullptr;
}

bool waitGone(HWND window) {
  DWORD begin = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - begin > timeoutMs()) return false;
    Sleep(50);
  }
  return true;
}

bool sync() {
  DWORD_PTR result;
  return SendMessageTimeoutW(gDialog, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs(), &result) != 0;
}

HWND control(const char* id) { return GetDlgItem(gDialog, std::atoi(id)); }

// --- steps ----------------------------------------------------------------------------------

void start(const std::string& exe, const std::string& tail, const std::string& errorFile) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE errorStream = CreateFileW(wide(errorFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = errorStream;
  startup.hStdError = errorStream;
  std::wstring commandLine = L"\"" + wide(exe) + L"\"";
  if (!tail.empty()) commandLine += L" " + wide(tail);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &gProcess)) {
    fail("start: CreateProcess error " + std::to_string(GetLastError()));
    std::exit(2);
  }
  CloseHandle(errorStream);
  WaitForInputIdle(gProcess.hProcess, timeoutMs());
}

void waitForDialog() {
  DWORD begin = GetTickCount();
  while (GetTickCount() - begin < timeoutMs()) {
    for (HWND window : otherWindows())
      if (className(window) == L"#32770" && windowText(window) == L"plotvane") {
        gDialog = window;
        sync();
        std::printf("dialog\n");
        return;
      }
    Sleep(50);
  }
  fail("dialog: the plotvane dialog did not appear");
  std::exit(2);
}

void printText(const char* id) {
  HWND window = control(id);
  std::printf("text %s %s\n", id, window ? utf8(windowText(window)).c_str() : "<no control>");
}

// WM_GETTEXT gives a status bar's part 0, and the system carries its buffer across processes:
// no memory of the program is touched, which a program under emulation would not show as written.
void printStatus() { std::printf("status %s\n", utf8(windowText(GetDlgItem(gDialog, 108))).c_str()); }

void printVisible(const char* id) { std::printf("visible %s %d\n", id, IsWindowVisible(control(id)) ? 1 : 0); }

void printChecked(const char* id) {
  std::printf("checked %s %d\n", id, static_cast<int>(SendMessageW(control(id), BM_GETCHECK, 0, 0)));
}

void printRect(const char* id) {
  HWND window = control(id);
  if (!window) {
    std::printf("rect %s none\n", id);
    return;
  }
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, gDialog, reinterpret_cast<POINT*>(&r), 2);
  RECT client{};
  GetClientRect(window, &client);
  std::printf("rect %s %ld %ld %ld %ld client %ld %ld\n", id, r.left, r.top, r.right, r.bottom, client.right,
              client.bottom);
}

void printStyle(const char* id) {
  HWND window = control(id);
  std::printf("style %s %s 0x%08lx 0x%08lx\n", id, utf8(className(window)).c_str(),
              static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
              static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
}

// The preview area as the program computes it, from the live client rectangles.
void printArea() {
  RECT panel{}, dialog{};
  GetClientRect(GetDlgItem(gDialog, 100), &panel);
  GetClientRect(gDialog, &dialog);
  int left = panel.right + 1;
  std::printf("area %d,%ld,%ld\n", left, dialog.right - left - 1, panel.bottom - 1);
}

void printDialogInfo() {
  RECT window{}, client{};
  GetWindowRect(gDialog, &window);
  GetClientRect(gDialog, &client);
  POINT origin{0, 0};
  ClientToScreen(gDialog, &origin);
  std::printf("dialog-info caption=%s style=0x%08lx exstyle=0x%08lx client=%ldx%ld origin=%ld,%ld window=%ld,%ld,%ld,%ld\n",
              utf8(windowText(gDialog)).c_str(), static_cast<unsigned long>(GetWindowLongW(gDialog, GWL_STYLE)),
              static_cast<unsigned long>(GetWindowLongW(gDialog, GWL_EXSTYLE)), client.right, client.bottom,
              origin.x, origin.y, window.left, window.top, window.right, window.bottom);
}

void click(const char* id, bool wait) {
  HWND button = control(id);
  if (!button) return fail(std::string("click: no control ") + id);
  if (!wait) {
    PostMessageW(button, BM_CLICK, 0, 0);
    return;
  }
  DWORD_PTR result;
  if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, ms(5000), &result)) {
    fail(std::string("click-sync ") + id + ": the click did not return (a modal window?)");
    return;
  }
  std::printf("click-sync %s done\n", id);
}

// The file-name box: an edit (edt1) or the edit inside a combo box (cmb13).
HWND fileNameBox(HWND fileDialog) {
  if (HWND edit = GetDlgItem(fileDialog, 0x480)) return edit;
  if (HWND combo = GetDlgItem(fileDialog, 0x47c)) {
    if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
    return combo;
  }
  return nullptr;
}

void chooseFile(bool save, const std::string& path) {
  const wchar_t* title = save ? L"ファイルの保存" : L"ファイルを開く";
  HWND fileDialog = waitForWindow(title);
  if (!fileDialog) return;
  HWND box = fileNameBox(fileDialog);
  if (!box) return fail("file dialog: no file-name box");
  std::printf("file-dialog %s initial=%s\n", utf8(title).c_str(), utf8(windowText(box)).c_str());
  std::wstring name = wide(path);
  DWORD_PTR result;
  SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), SMTO_NORMAL, ms(5000), &result);
  PostMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(fileDialog, IDOK)));
  DWORD begin = GetTickCount();
  while (IsWindow(fileDialog) && GetTickCount() - begin < timeoutMs()) {
    // "Replace it?" comes up as a box owned by the file dialog.
    for (HWND window : otherWindows())
      if (window != fileDialog && GetWindow(window, GW_OWNER) == fileDialog) {
        std::printf("replace-question %s\n", oneLine(utf8(windowText(window))).c_str());
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        Sleep(ms(200));
      }
    Sleep(50);
  }
  if (!waitGone(fileDialog)) return fail("file dialog did not close");
  if (!sync()) return fail("the dialog did not come back after the file dialog");
  std::printf("%s done\n", save ? "save-file" : "open-file");
}

void cancelFile() {
  HWND fileDialog = waitForWindow(L"");
  if (!fileDialog) return;
  HWND box = fileNameBox(fileDialog);
  std::printf("cancel-file %s initial=%s\n", utf8(windowText(fileDialog)).c_str(),
              box ? utf8(windowText(box)).c_str() : "<no file-name box>");
  PostMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (!waitGone(fileDialog)) return fail("cancel-file: still open");
  sync();
}

// The message box's text is its static control 0xFFFF (or, failing that, its longest static).
std::wstring messageText(HWND box) {
  if (HWND text = GetDlgItem(box, 0xFFFF)) return windowText(text);
  std::wstring longest;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (className(child) == L"Static") {
      std::wstring text = windowText(child);
      if (text.size() > longest.size()) longest = text;
    }
  return longest;
}

HWND waitForMessageBox() {
  HWND box = nullptr;
  DWORD begin = GetTickCount();
  while (!box && GetTickCount() - begin < timeoutMs()) {
    for (HWND window : otherWindows())
      if (className(window) == L"#32770") box = window;
    if (!box) Sleep(50);
  }
  return box;
}

void answerMessage(const std::string& answer) {
  HWND box = waitForMessageBox();
  if (!box) return fail("message: no message box");
  HWND owner = GetWindow(box, GW_OWNER);
  std::printf("message %s | %s | owner=%s\n", utf8(windowText(box)).c_str(), oneLine(utf8(messageText(box))).c_str(),
              !owner ? "none" : owner == gDialog ? "dialog" : "other");
  std::fflush(stdout);
  int id = answer == "cancel" ? IDCANCEL : IDOK;
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
  if (!waitGone(box)) fail("message box did not close");
}

std::string hex(const char* bytes, size_t length) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(bytes[i]));
    out += two;
  }
  return out;
}

// What a program of this code page gets back from the box: the texts the A functions return.
void printMessageBytes() {
  HWND box = waitForMessageBox();
  if (!box) return fail("message-cp932: no message box");
  HWND text = GetDlgItem(box, 0xFFFF);
  if (!text) return fail("message-cp932: the box has no static control 0xFFFF");
  char caption[4096] = {}, body[4096] = {};
  DWORD_PTR captionLength = 0, bodyLength = 0;
  SendMessageTimeoutA(box, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption), SMTO_ABORTIFHUNG, ms(5000),
                      &captionLength);
  SendMessageTimeoutA(text, WM_GETTEXT, sizeof body, reinterpret_cast<LPARAM>(body), SMTO_ABORTIFHUNG, ms(5000),
                      &bodyLength);
  std::printf("message-cp932 %s | %s\n", hex(caption, captionLength).c_str(), hex(body, bodyLength).c_str());
}

void expectNoWindow(DWORD waitMs) {
  DWORD begin = GetTickCount();
  while (GetTickCount() - begin < ms(waitMs)) {
    std::vector<HWND> others = otherWindows();
    if (!others.empty()) return fail("no-window: \"" + utf8(windowText(others.front())) + "\" appeared");
    Sleep(50);
  }
  std::printf("no-window ok\n");
}

// The dialog's client area as the screen shows it, 32-bit pixels top row first.
std::vector<unsigned char> grabClientArea(int* width, int* height) {
  RECT client{};
  GetClientRect(gDialog, &client);
  POINT origin{0, 0};
  ClientToScreen(gDialog, &origin);
  *width = client.right;
  *height = client.bottom;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = -*height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const unsigned char* start = static_cast<const unsigned char*>(bits);
  std::vector<unsigned char> pixels(start, start + static_cast<size_t>(*width) * *height * 4);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Written once two grabs a moment apart agree, so that no paint is still on its way.
void capture(const std::string& file) {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels = grabClientArea(&width, &height);
  for (int attempt = 0; attempt < 30; ++attempt) {
    Sleep(ms(150));
    std::vector<unsigned char> again = grabClientArea(&width, &height);
    bool stable = again == pixels;
    pixels.swap(again);
    if (stable) break;
  }
  FILE* out = _wfopen(wide(file).c_str(), L"wb");
  if (!out) return fail("capture: cannot write " + file);
  std::fprintf(out, "P6\n%d %d\n255\n", width, height);
  for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
    unsigned char rgb[3] = {pixels[i + 2], pixels[i + 1], pixels[i]};
    std::fwrite(rgb, 1, 3, out);
  }
  std::fclose(out);
  std::printf("capture %dx%d\n", width, height);
}

void settle() {
  sync();
  Sleep(ms(400));  // paint messages come after everything else in the queue
  sync();
}

void invalidate() {
  RedrawWindow(gDialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  settle();
  std::printf("invalidate done\n");
}

// A window of our own over the dialog, then gone again.
void cover() {
  RECT r{};
  GetWindowRect(gDialog, &r);
  HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_BLACKRECT, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < 10; ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(50);
  }
  DestroyWindow(cover);
  settle();
  std::printf("cover done\n");
}

void minimizeRestore() {
  ShowWindowAsync(gDialog, SW_MINIMIZE);
  Sleep(ms(500));
  ShowWindowAsync(gDialog, SW_RESTORE);
  Sleep(ms(500));
  SetForegroundWindow(gDialog);
  settle();
  std::printf("minimize-restore done\n");
}

// Both roundings of one product, done on the x87 unit with its precision set as asked.
long double productWithPrecision(double a, double b, unsigned short precisionBits) {
  unsigned short saved, control;
  __asm__ volatile("fnstcw %0" : "=m"(saved));
  control = static_cast<unsigned short>((saved & ~0x300) | precisionBits);
  // The clobbers and volatiles keep the multiplication between the two control-word loads.
  __asm__ volatile("fldcw %0" : : "m"(control) : "memory");
  volatile long double x = a, y = b;
  volatile long double product = x * y;
  __asm__ volatile("fldcw %0" : : "m"(saved) : "memory");
  return product;
}

// X from 0 to 1000 (the width governs, so scale = width / 1000), Y alternating 0 and 700. Each
// inner X is chosen so that X * scale rounds to an integer with a 53-bit mantissa but stays just
// below it with a 64-bit one: a program computing in double precision draws it one column right.
void precisionProfile(const std::string& file, int width) {
  double scale = static_cast<double>(static_cast<long double>(width) / 1000.0L);
  std::vector<double> xs{0.0};
  for (int k = 1; k < width; ++k) {
    double x = k / scale;
    for (int step = 0; step < 8; ++step, x = std::nextafter(x, 0.0)) {
      long double precise = productWithPrecision(x, scale, 0x300);
      long double rounded = productWithPrecision(x, scale, 0x200);
      if (std::trunc(precise) != std::trunc(rounded) && x > xs.back()) {
        xs.push_back(x);
        break;
      }
    }
  }
  xs.push_back(1000.0);
  FILE* out = _wfopen(wide(file).c_str(), L"wb");
  if (!out) return fail("precision-profile: cannot write " + file);
  for (size_t k = 0; k < xs.size(); ++k) std::fprintf(out, "%s%.17g", k ? "," : "", xs[k]);
  std::fputs("\r\n", out);
  for (size_t k = 0; k < xs.size(); ++k) std::fprintf(out, "%s%d", k ? "," : "", k % 2 ? 700 : 0);
  std::fputs("\r\n", out);
  std::fclose(out);
  std::printf("precision-profile %u sensitive points\n", static_cast<unsigned>(xs.size() - 2));
}

void signalFile(const std::string& file) {
  if (FILE* f = _wfopen(wide(file).c_str(), L"wb")) std::fclose(f);
}

void awaitFile(const std::string& file) {
  DWORD begin = GetTickCount();
  while (GetFileAttributesW(wide(file).c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - begin > 60000) return fail("await: " + file + " never came");
    Sleep(100);
  }
}

struct DialogSearch {
  std::vector<HWND> viewers;
  HWND errorBox;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  if (processOf(window) == GetCurrentProcessId() || !IsWindowVisible(window) || className(window) != L"#32770")
    return TRUE;
  std::wstring caption = windowText(window);
  if (caption == L"plotvane") search->viewers.push_back(window);
  else if (caption == L"Error") search->errorBox = window;
  return TRUE;
}

// Ends the run; the program being worked must not linger and show up in the next scenario.
[[noreturn]] void giveUp() {
  if (gProcess.hProcess) TerminateProcess(gProcess.hProcess, 99);
  std::exit(2);
}

// The viewer comes up in a process of its own: from here on that process is the one worked.
void attachViewer() {
  DWORD begin = GetTickCount();
  while (GetTickCount() - begin < timeoutMs()) {
    DialogSearch search{{}, nullptr};
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&search));
    if (search.errorBox) {
      // The starter reported a failure instead; it waits for an answer that will not come.
      fail("viewer-dialog: an Error box came instead: " + oneLine(utf8(messageText(search.errorBox))));
      giveUp();
    }
    if (search.viewers.size() > 1) {
      fail("viewer-dialog: " + std::to_string(search.viewers.size()) + " plotvane dialogs");
      giveUp();
    }
    if (search.viewers.size() == 1) {
      HWND dialog = search.viewers.front();
      HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processOf(dialog));
      if (!process) {
        fail("viewer-dialog: OpenProcess error " + std::to_string(GetLastError()));
        giveUp();
      }
      if (gProcess.hProcess) CloseHandle(gProcess.hProcess);
      if (gProcess.hThread) CloseHandle(gProcess.hThread);
      gProcess = PROCESS_INFORMATION{};
      gProcess.hProcess = process;
      gProcess.dwProcessId = processOf(dialog);
      gDialog = dialog;
      sync();
      std::printf("viewer-dialog\n");
      return;
    }
    Sleep(50);
  }
  fail("viewer-dialog: no plotvane dialog appeared");
  giveUp();
}

void printImage() {
  wchar_t path[32768];
  DWORD size = 32768;
  if (!QueryFullProcessImageNameW(gProcess.hProcess, 0, path, &size)) return fail("image: no path");
  // A program started by its short (8.3) path shows its long one.
  wchar_t longPath[32768];
  DWORD length = GetLongPathNameW(path, longPath, 32768);
  if (length > 0 && length < 32768) size = length;
  std::printf("image %s\n", utf8(std::wstring(length > 0 && length < 32768 ? longPath : path, size)).c_str());
}

void printProcessCount(const std::string& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return fail("processes: no snapshot");
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (lstrcmpiW(entry.szExeFile, wide(name).c_str()) == 0) ++count;
  CloseHandle(snapshot);
  std::printf("processes %s %d\n", name.c_str(), count);
}

// What a program that does not end is showing, for the failure report.
std::string shownWindows() {
  std::string shown;
  for (HWND window : otherWindows()) {
    shown += " \"" + utf8(windowText(window)) + "\"";
    if (className(window) == L"#32770") shown += ": " + oneLine(utf8(messageText(window)));
  }
  return shown.empty() ? " no window" : shown;
}

void waitExit() {
  if (WaitForSingleObject(gProcess.hProcess, timeoutMs()) != WAIT_OBJECT_0)
    return fail("wait-exit: still running, showing" + shownWindows());
  DWORD code = 0;
  GetExitCodeProcess(gProcess.hProcess, &code);
  std::printf("exit %lu\n", static_cast<unsigned long>(code));
}

}  // namespace

int main() {
  if (const char* scale = std::getenv("PV_DRIVER_TIME_SCALE")) gTimeScale = std::max(1, std::atoi(scale));
  int argc = 0;
  wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(utf8(wargv[i]));
  size_t at = 0;
  auto next = [&]() -> std::string {
    if (at >= args.size()) {
      fail("missing argument");
      std::exit(2);
    }
    return args[at++];
  };
  while (at < args.size()) {
    std::string step = next();
    if (step == "start") {
      std::string exe = next(), tail = next(), errorFile = next();
      start(exe, tail, errorFile);
    } else if (step == "dialog") waitForDialog();
    else if (step == "text") printText(next().c_str());
    else if (step == "visible") printVisible(next().c_str());
    else if (step == "checked") printChecked(next().c_str());
    else if (step == "style") printStyle(next().c_str());
    else if (step == "rect") printRect(next().c_str());
    else if (step == "status") printStatus();
    else if (step == "area") printArea();
    else if (step == "dialog-info") printDialogInfo();
    else if (step == "acp") std::printf("acp %u\n", GetACP());
    else if (step == "click") click(next().c_str(), false);
    else if (step == "click-sync") click(next().c_str(), true);
    else if (step == "open-file") chooseFile(false, next());
    else if (step == "save-file") chooseFile(true, next());
    else if (step == "cancel-file") cancelFile();
    else if (step == "message") answerMessage(next());
    else if (step == "no-window") expectNoWindow(static_cast<DWORD>(std::atoi(next().c_str())));
    else if (step == "sync") std::printf(sync() ? "sync\n" : "FAIL sync\n");
    else if (step == "capture") capture(next());
    else if (step == "invalidate") invalidate();
    else if (step == "cover") cover();
    else if (step == "minimize-restore") minimizeRestore();
    else if (step == "precision-profile") {
      std::string file = next();
      precisionProfile(file, std::atoi(next().c_str()));
    } else if (step == "signal") signalFile(next());
    else if (step == "await") awaitFile(next());
    else if (step == "viewer-dialog") attachViewer();
    else if (step == "image") printImage();
    else if (step == "processes") printProcessCount(next());
    else if (step == "message-cp932") printMessageBytes();
    else if (step == "close") PostMessageW(gDialog, WM_CLOSE, 0, 0);
    else if (step == "wait-exit") waitExit();
    else if (step == "sleep") Sleep(static_cast<DWORD>(std::atoi(next().c_str())));
    else { fail("unknown step " + step); return 2; }
    std::fflush(stdout);
  }
  if (gProcess.hProcess && WaitForSingleObject(gProcess.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(gProcess.hProcess, 99);  // a scenario that forgot to quit must not linger
  }
  return gFailures ? 1 : 0;
}
