// The dialog services both programs use, as free functions: message boxes, the common file
// dialogs, the shell start and the standard error stream. Win32 implements them for the shipped
// programs (platform/win32/); the recording stand-in for the native tests. Texts are UTF-8.
#pragma once

#include <string>

#include "common/program_texts.h"

// A dialog window (the viewer's dialog); nullptr stands for "no owner window".
struct Dialog;

enum class MessageButtons { ok, okCancel };
enum class MessageAnswer { ok, cancel };
// Modal message box; owner nullptr means none.
MessageAnswer messageBox(Dialog* owner, const char* text, const char* caption, MessageButtons buttons);

struct FileDialogSetup {
  bool save;                // save dialog, else open dialog
  const char* filterName;   // "CSV(*.csv)"
  const char* filterSpec;   // "*.csv"
  const char* defaultExtension;
  const char* title;
};
// The CSV dialogs both programs show.
constexpr FileDialogSetup kCsvOpenDialog{false, kCsvFilterName, kCsvFilterSpec, kCsvExtension, kOpenTitle};
constexpr FileDialogSetup kCsvSaveDialog{true, kCsvFilterName, kCsvFilterSpec, kCsvExtension, kSaveTitle};
// Shows the dialog with *path as the initial file name (no owner, filter index 1, hide-read-only
// and overwrite-prompt), in the folder of nearFile when one is given, whatever folder the user
// chose before; without one where Windows decides. True with the chosen path in *path; false
// when cancelled or failed. The x87 unit rounds to 64 bits again afterwards (the dialogs load
// shell extensions, which may change it).
bool chooseFile(const FileDialogSetup& setup, std::string* path, const char* nearFile = nullptr);

// Appends text to the standard error stream, if the process has one, in the bytes the programs
// have always written there: code page 932 on Windows.
void writeErrorStream(const char* text);
// How a program to start is trusted: found by the shell's search, or a program of our own
// installation by its full path (beside the one that starts it), which the shell then starts
// without its zone check (no security warning for a ZIP that came from the Internet).
enum class ShellStart { searched, sibling };
// Starts a program the way the shell does (default verb, SW_SHOWNORMAL, no owner, no working
// directory, no message of the shell's own); returns the shell's result code (32 and above means
// started). A program path, or parameters that are one path, of MAX_PATH characters or more go
// in their short form.
long long shellStart(const char* file, const char* parameters, ShellStart how = ShellStart::searched);
