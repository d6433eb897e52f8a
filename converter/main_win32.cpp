// gridfold.exe: a GUI program without a window of its own; the run talks to the user through
// message boxes and the common file dialogs only.
#include <windows.h>

#include <string>

#include "common/command_line.h"
#include "converter/converter_run.h"
#include "platform/win32/wide_text.h"

// The command line as UTF-16, whatever characters its path holds; the tail rule reads UTF-8.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string commandLine = utf8Text(GetCommandLineW());
  return runConverter(commandLineTail(commandLine.c_str()));
}
