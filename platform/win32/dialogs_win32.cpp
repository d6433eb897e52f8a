// The dialog services both programs share on Win32: message boxes, the common file dialogs, the
// shell start and the standard error stream.
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_handles.h"

namespace {

// Far beyond MAX_PATH, so that long paths come back whole.
constexpr DWORD kFileNameBufferSize = 32768;

}  // namespace

MessageAnswer messageBox(Dialog* owner, const char* text, const char* caption, MessageButtons buttons) {
  UINT type = buttons == MessageButtons::okCancel ? MB_OKCANCEL : MB_OK;
  return MessageBoxA(dialogWindow(owner), text, caption, type) == IDOK ? MessageAnswer::ok : MessageAnswer::cancel;
}

bool chooseFile(const FileDialogSetup& setup, std::string* path) {
  // The filter is pairs of zero-terminated texts, closed by an empty one.
  std::string filter = std::string(setup.filterName) + '\0' + setup.filterSpec + '\0' + '\0';
  std::vector<char> fileName(kFileNameBufferSize, '\0');
  path->copy(fileName.data(), fileName.size() - 1);

  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = fileName.data();
  dialog.nMaxFile = kFileNameBufferSize;  // in characters, which are bytes here
  dialog.lpstrInitialDir = nullptr;
  dialog.lpstrTitle = setup.title;
  dialog.lpstrDefExt = setup.defaultExtension;
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  BOOL chosen = setup.save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen) return false;
  *path = fileName.data();
  return true;
}

long long shellStart(const char* file, const char* parameters) {
  HINSTANCE result = ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
  return static_cast<long long>(reinterpret_cast<INT_PTR>(result));
}

void writeErrorStream(const char* text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;  // started from the desktop
  // Text mode: every line end leaves as CR LF.
  std::string bytes;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') bytes += '\r';
    bytes += *p;
  }
  DWORD written;
  WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
