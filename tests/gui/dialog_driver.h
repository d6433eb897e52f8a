// Works the real programs' windows from outside, the way a user would: starts a program, waits
// for its dialog, clicks, fills the common file dialogs, answers message boxes, reads texts as
// UTF-16 and captures pixels. Every wait is bounded; a wait that runs out adds a GoogleTest
// failure naming what did not come.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

#include "picture/raster.h"
#include "viewer/preview.h"

// Every wait in ms, times PV_GUI_TIME_SCALE: programs under emulation start and answer slower.
DWORD scaled(DWORD ms);

// Line breaks shown as \n, so that a message reads as one line (as App::answer gives it).
std::string oneLine(const std::string& text);

struct Message {
  std::string caption, text, owner;  // owner: none, dialog (the plotvane dialog) or other
  bool operator==(const Message&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Message& m) {
  return out << m.caption << " | " << m.text << " | owner=" << m.owner;
}

// One program under test and, once found, its plotvane dialog. A program still running when the
// App goes is ended, so that it cannot meet the next test.
class App {
 public:
  App() = default;
  App(const App&) = delete;
  ~App();

  // Starts exe with the command-line tail. Its output and error streams go to outputFile (none
  // when empty), its error stream to errorFile instead when one is given; dir is its working
  // directory (ours when empty); searchFirst a folder put at the front of its search path.
  void start(const std::string& exe, const std::string& tail, const std::string& outputFile = "",
             const std::string& dir = "", const std::string& searchFirst = "", const std::string& errorFile = "");
  // The exit status, once the program has ended; -1 (and a failure) when it does not end.
  int exitCode();

  // Waits for the plotvane dialog of the program started; false (and a failure) when none comes.
  bool dialog();
  // Waits for a plotvane dialog of another process (gridfold starts the viewer) and works that
  // process from here on. An Error box coming first is a failure.
  bool viewer();
  // The full path of the program worked now, in its long form.
  std::string image();

  std::string text(int id);  // 0: the dialog's caption
  std::string status();  // the status bar's part 0
  bool visible(int id);
  int checked(int id);
  DWORD style(int id);
  std::string className(int id);
  // The preview area as the program computes it, from the live client rectangles.
  PreviewArea area();

  void click(int id);      // posted: the click may open a modal window
  bool clickSync(int id);  // sent: returns once the dialog has handled it (no modal window)
  bool sync();             // the dialog has handled everything sent before
  // Fills the open or save dialog with path and confirms it (replacing a file when asked); waits
  // until the command is done. Returns the name the file-name box offered first.
  std::string chooseFile(const wchar_t* title, const std::string& path);
  std::string openFile(const std::string& path) { return chooseFile(L"ファイルを開く", path); }
  std::string saveFile(const std::string& path) { return chooseFile(L"ファイルの保存", path); }
  // Cancels the file dialog shown; returns its title and the name it offered, "TITLE initial=NAME".
  std::string cancelFile();
  // Reads the message box shown and answers it with IDOK or IDCANCEL.
  Message answer(int button);
  // The message box's caption and text as the ANSI functions give them, unanswered.
  Message ansiMessage();
  // True when no other window of the program shows up within ms.
  bool noWindow(DWORD ms);

  Raster capture();        // the client area as the screen shows it, once no paint is on its way
  Raster captureWindow();  // the whole window, frame included: the screenshots of docs/
  void invalidate();       // the dialog repaints itself...
  void cover();            // ...after a window of ours covered it...
  void minimizeRestore();  // ...or after it was minimized
  RECT windowRect();

  HWND window = nullptr;  // the dialog
  HANDLE process = nullptr;
  DWORD pid = 0;

 private:
  HWND control(int id) { return GetDlgItem(window, id); }
  HWND waitForOther(const wchar_t* className, const wchar_t* title);
};

// The number of processes running the program NAME.exe.
int processCount(const wchar_t* name);

// A screenshot saved as a compressed PNG file (by GDI+), as the pictures in docs/ are.
bool savePng(const Raster& picture, const std::string& path);
