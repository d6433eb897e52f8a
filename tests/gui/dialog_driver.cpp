#include "tests/gui/dialog_driver.h"

#include <gdiplus.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <vector>

#include "platform/win32/wide_text.h"

namespace {

std::string utf8(const std::wstring& text) { return utf8Text(text.data(), text.size()); }

DWORD timeScale() {
  static DWORD scale = [] {
    const char* given = std::getenv("PV_GUI_TIME_SCALE");
    return given && std::atoi(given) > 1 ? static_cast<DWORD>(std::atoi(given)) : 1u;
  }();
  return scale;
}

DWORD timeout() { return scaled(20000); }

// Runs poll every 50 ms until it gives true or ms have passed.
template <typename Poll>
bool waitFor(DWORD ms, Poll poll) {
  for (DWORD begin = GetTickCount();; Sleep(50)) {
    if (poll()) return true;
    if (GetTickCount() - begin >= ms) return false;
  }
}

std::wstring windowText(HWND window) {
  wchar_t buffer[4096];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, scaled(5000),
                           &length))
    return L"<no answer>";
  return std::wstring(buffer, length);
}

std::wstring classOf(HWND window) {
  wchar_t buffer[256];
  int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

DWORD processOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

// The visible top-level windows of process pid (every other process's when pid is 0), one excluded.
std::vector<HWND> windowsOf(DWORD pid, HWND excluded) {
  struct Search {
    DWORD pid;
    HWND excluded;
    std::vector<HWND> found;
  } search{pid, excluded, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        DWORD owner = processOf(window);
        if (window != s->excluded && IsWindowVisible(window) &&
            (s->pid ? owner == s->pid : owner != GetCurrentProcessId()))
          s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box's text is its static control 0xFFFF, or failing that its longest static.
std::wstring messageText(HWND box) {
  if (HWND text = GetDlgItem(box, 0xFFFF)) return windowText(text);
  std::wstring longest;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (classOf(child) == L"Static" && windowText(child).size() > longest.size()) longest = windowText(child);
  return longest;
}

// The file-name box: an edit (edt1) or the edit inside a combo box (cmb13).
HWND fileNameBox(HWND fileDialog) {
  if (HWND edit = GetDlgItem(fileDialog, 0x480)) return edit;
  HWND combo = GetDlgItem(fileDialog, 0x47c);
  if (!combo) return nullptr;
  HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
  return edit ? edit : combo;
}

void post(HWND window, int button) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
}

// Pixels of a screen rectangle, top row first.
Raster grab(POINT origin, int width, int height) {
  Raster raster;
  rasterInit(&raster, width, height, kDialogFace);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* bgra = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
    for (int c = 0; c < 3; ++c) raster.rgb[3 * i + c] = bgra[4 * i + 2 - c];
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return raster;
}

// Taken once two grabs a moment apart agree, so that no paint is still on its way.
template <typename Grab>
Raster steady(Grab grabNow) {
  Raster pixels = grabNow();
  for (int attempt = 0; attempt < 30; ++attempt) {
    Sleep(scaled(150));
    Raster again = grabNow();
    bool same = again.rgb == pixels.rgb;
    pixels = std::move(again);
    if (same) break;
  }
  return pixels;
}

}  // namespace

std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c != '\r') out += c;
  }
  return out;
}

DWORD scaled(DWORD ms) { return ms * timeScale(); }

App::~App() {
  if (process && WaitForSingleObject(process, 0) != WAIT_OBJECT_0) TerminateProcess(process, 99);
  if (process) CloseHandle(process);
}

void App::start(const std::string& exe, const std::string& tail, const std::string& outputFile,
                const std::string& dir, const std::string& searchFirst, const std::string& errorFile) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  auto create = [&](const std::string& path) {
    return path.empty() ? nullptr
                        : CreateFileW(wideText(path.c_str()).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE output = create(outputFile), errors = errorFile.empty() ? output : create(errorFile);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = errors;
  std::wstring commandLine = L"\"" + wideText(exe.c_str()) + L"\"" + (tail.empty() ? L"" : L" " + wideText(tail.c_str()));
  std::wstring environment;  // ours, with the search path changed
  if (!searchFirst.empty()) {
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
      environment += (_wcsnicmp(entry, L"PATH=", 5) == 0 ? L"PATH=" + wideText(searchFirst.c_str()) + L";" + (entry + 5)
                                                          : std::wstring(entry)) + L'\0';
    FreeEnvironmentStringsW(block);
  }
  PROCESS_INFORMATION started{};
  BOOL ok = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                           environment.empty() ? nullptr : environment.data(),
                           dir.empty() ? nullptr : wideText(dir.c_str()).c_str(), &startup, &started);
  DWORD error = GetLastError();
  if (output) CloseHandle(output);
  if (errors && errors != output) CloseHandle(errors);
  ASSERT_TRUE(ok) << "CreateProcess " << exe << ": error " << error;
  CloseHandle(started.hThread);
  if (process) CloseHandle(process);  // a program started before, which has ended
  process = started.hProcess;
  pid = started.dwProcessId;
  WaitForInputIdle(process, timeout());
}

int App::exitCode() {
  if (WaitForSingleObject(process, timeout()) != WAIT_OBJECT_0) {
    std::string shown;
    for (HWND w : windowsOf(pid, nullptr)) shown += " \"" + utf8(windowText(w)) + "\": " + oneLine(utf8(messageText(w)));
    ADD_FAILURE() << "still running, showing" << (shown.empty() ? " no window" : shown);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

bool App::dialog() {
  bool found = waitFor(timeout(), [&] {
    for (HWND w : windowsOf(pid, nullptr))
      if (classOf(w) == L"#32770" && windowText(w) == L"plotvane") window = w;
    return window != nullptr;
  });
  if (!found) ADD_FAILURE() << "the plotvane dialog did not appear";
  return found && sync();
}

bool App::viewer() {
  HWND box = nullptr;
  std::vector<HWND> viewers;
  waitFor(timeout(), [&] {
    viewers.clear();
    for (HWND w : windowsOf(0, nullptr)) {
      if (classOf(w) != L"#32770") continue;
      if (windowText(w) == L"plotvane") viewers.push_back(w);
      else if (windowText(w) == L"Error") box = w;
    }
    return box || !viewers.empty();
  });
  // An Error box means the starter reported a failure instead, and waits for an answer.
  if (box || viewers.size() != 1) {
    ADD_FAILURE() << (box ? "an Error box came instead of the viewer: " + oneLine(utf8(messageText(box)))
                          : std::to_string(viewers.size()) + " plotvane dialogs, one expected");
    return false;
  }
  window = viewers.front();
  pid = processOf(window);
  if (process) CloseHandle(process);
  process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  EXPECT_TRUE(process) << "OpenProcess error " << GetLastError();
  return process && sync();
}

std::string App::image() {
  std::wstring path(32768, L'\0'), longPath(32768, L'\0');
  DWORD size = 32768;
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) return "<no path>";
  // A program started by its short (8.3) path shows its long one.
  DWORD length = GetLongPathNameW(path.c_str(), longPath.data(), 32768);
  return length > 0 && length < 32768 ? utf8(longPath.substr(0, length)) : utf8(path.substr(0, size));
}

std::string App::text(int id) {
  HWND shown = id ? control(id) : window;
  return shown ? utf8(windowText(shown)) : "<no control>";
}
// WM_GETTEXT gives part 0, and the system carries its buffer across processes: no memory of the
// program is read, which a program under emulation would not show as written.
std::string App::status() { return text(108); }
bool App::visible(int id) { return IsWindowVisible(control(id)); }
int App::checked(int id) { return static_cast<int>(SendMessageW(control(id), BM_GETCHECK, 0, 0)); }
DWORD App::style(int id) { return static_cast<DWORD>(GetWindowLongW(id ? control(id) : window, GWL_STYLE)); }
std::string App::className(int id) { return utf8(classOf(control(id))); }

PreviewArea App::area() {
  RECT panel{}, dialog{};
  GetClientRect(control(100), &panel);
  GetClientRect(window, &dialog);
  // Worked out here rather than by the viewer's function, so that a change there shows.
  int32_t left = panel.right + 1;
  return {left, dialog.right - left - 1, panel.bottom - 1};
}

void App::click(int id) { PostMessageW(control(id), BM_CLICK, 0, 0); }

bool App::clickSync(int id) {
  DWORD_PTR result;
  bool done = SendMessageTimeoutW(control(id), BM_CLICK, 0, 0, SMTO_NORMAL, scaled(5000), &result);
  EXPECT_TRUE(done) << "the click on " << id << " did not return (a modal window?)";
  return done;
}

bool App::sync() {
  DWORD_PTR result;
  bool done = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeout(), &result);
  EXPECT_TRUE(done) << "the dialog does not answer";
  return done;
}

HWND App::waitForOther(const wchar_t* className, const wchar_t* title) {
  HWND found = nullptr;
  waitFor(timeout(), [&] {
    for (HWND w : windowsOf(pid, window))
      if (!className || classOf(w) == className) found = w;
    return found || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  });
  if (!found) ADD_FAILURE() << "no window \"" << (title ? utf8(title) : "") << "\" appeared";
  else if (title && windowText(found) != title)
    ADD_FAILURE() << "expected the window \"" << utf8(title) << "\" but \"" << utf8(windowText(found)) << "\" appeared";
  else return found;
  return nullptr;
}

std::string App::chooseFile(const wchar_t* title, const std::string& path) {
  HWND fileDialog = waitForOther(nullptr, title);
  HWND box = fileDialog ? fileNameBox(fileDialog) : nullptr;
  if (!box) {
    ADD_FAILURE() << "no file dialog with a file-name box";
    return "<no file dialog>";
  }
  std::string initial = utf8(windowText(box));
  std::wstring name = wideText(path.c_str());
  DWORD_PTR result;
  SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), SMTO_NORMAL, scaled(5000), &result);
  post(fileDialog, IDOK);
  waitFor(timeout(), [&] {
    // "Replace it?" comes up as a box owned by the file dialog.
    for (HWND w : windowsOf(pid, window))
      if (GetWindow(w, GW_OWNER) == fileDialog) {
        post(w, IDYES);
        Sleep(scaled(200));
      }
    return !IsWindow(fileDialog);
  });
  EXPECT_FALSE(IsWindow(fileDialog)) << "the file dialog did not close";
  sync();
  return initial;
}

std::string App::cancelFile() {
  HWND fileDialog = waitForOther(nullptr, nullptr);
  if (!fileDialog) return "<no file dialog>";
  HWND box = fileNameBox(fileDialog);
  std::string shown = utf8(windowText(fileDialog)) + " initial=" + (box ? utf8(windowText(box)) : "<no file-name box>");
  post(fileDialog, IDCANCEL);
  EXPECT_TRUE(waitFor(timeout(), [&] { return !IsWindow(fileDialog); })) << "the file dialog stays open";
  sync();
  return shown;
}

Message App::answer(int button) {
  HWND box = waitForOther(L"#32770", nullptr);
  if (!box) return {};
  HWND owner = GetWindow(box, GW_OWNER);
  Message shown{utf8(windowText(box)), oneLine(utf8(messageText(box))), !owner ? "none" : owner == window ? "dialog" : "other"};
  post(box, button);
  EXPECT_TRUE(waitFor(timeout(), [&] { return !IsWindow(box); })) << "the message box did not close";
  return shown;
}

Message App::ansiMessage() {
  HWND box = waitForOther(L"#32770", nullptr);
  HWND text = box ? GetDlgItem(box, 0xFFFF) : nullptr;
  if (!text) {
    ADD_FAILURE() << "no message box with a static control 0xFFFF";
    return {};
  }
  char caption[4096], body[4096];
  DWORD_PTR captionLength = 0, bodyLength = 0;
  SendMessageTimeoutA(box, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption), SMTO_ABORTIFHUNG,
                      scaled(5000), &captionLength);
  SendMessageTimeoutA(text, WM_GETTEXT, sizeof body, reinterpret_cast<LPARAM>(body), SMTO_ABORTIFHUNG, scaled(5000),
                      &bodyLength);
  return {std::string(caption, captionLength), std::string(body, bodyLength), ""};
}

bool App::noWindow(DWORD ms) {
  std::vector<HWND> shown;
  waitFor(scaled(ms), [&] { return !(shown = windowsOf(pid, window)).empty(); });
  EXPECT_TRUE(shown.empty()) << "\"" << utf8(windowText(shown.front())) << "\" appeared";
  return shown.empty();
}

Raster App::capture() {
  return steady([&] {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return grab(origin, client.right, client.bottom);
  });
}

Raster App::captureWindow() {
  RECT r = windowRect();
  return steady([&] { return grab({r.left, r.top}, r.right - r.left, r.bottom - r.top); });
}

RECT App::windowRect() {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

static void settle(App* app) {
  app->sync();
  Sleep(scaled(400));  // paint messages come after everything else in the queue
  app->sync();
}

void App::invalidate() {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  settle(this);
}

void App::cover() {
  RECT r = windowRect();
  HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_BLACKRECT, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < 10; ++i, Sleep(50))
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
  DestroyWindow(cover);
  settle(this);
}

void App::minimizeRestore() {
  ShowWindowAsync(window, SW_MINIMIZE);
  Sleep(scaled(500));
  ShowWindowAsync(window, SW_RESTORE);
  Sleep(scaled(500));
  SetForegroundWindow(window);
  settle(this);
}

int processCount(const wchar_t* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    count += lstrcmpiW(entry.szExeFile, name) == 0;
  CloseHandle(snapshot);
  return count;
}

bool savePng(const Raster& picture, const std::string& path) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  int stride = (3 * picture.width + 3) & ~3;
  std::vector<uint8_t> bgr(static_cast<size_t>(stride) * picture.height);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      for (int c = 0; c < 3; ++c) bgr[y * stride + 3 * x + c] = picture.rgb[3 * (y * picture.width + x) + 2 - c];
  const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
  bool saved;
  {
    Gdiplus::Bitmap bitmap(picture.width, picture.height, stride, PixelFormat24bppRGB, bgr.data());
    saved = bitmap.Save(wideText(path.c_str()).c_str(), &png, nullptr) == Gdiplus::Ok;
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}
