// gridfold.exe: a GUI program without a window of its own; the run talks to the user through
// message boxes and the common file dialogs only.
#include <windows.h>

#include "common/command_line.h"
#include "converter/converter_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return runConverter(commandLineTail(GetCommandLineA()));
}
