// The batch tool's terminal on Windows: the UTF-16 command line, and a console written in UTF-16.
#include "platform/console.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "platform/win32/wide_text.h"

std::vector<std::string> consoleArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);  // the C runtime's reading, then
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8Text(wide[i]));
  LocalFree(wide);
  return arguments;
}

void consoleWriteError(const std::string& text) {
  std::fflush(stderr);
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode;
  if (error != nullptr && error != INVALID_HANDLE_VALUE && GetConsoleMode(error, &mode)) {
    std::wstring wide = wideText(text.c_str());
    DWORD written;
    WriteConsoleW(error, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
}
