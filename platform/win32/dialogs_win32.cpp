// The dialog services both programs share on Win32: message boxes, the common file dialogs, the
// shell start and the standard error stream. Texts and paths arrive as UTF-8 and reach Windows
// as UTF-16.
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/extended_precision.h"
#include "platform/dialogs.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_handles.h"

namespace {

// Far beyond MAX_PATH, so that long paths come back whole.
constexpr DWORD kFileNameBufferSize = 32768;

// What the programs have always written to their error stream: code page 932.
constexpr unsigned kErrorStreamCodePage = 932;

}  // namespace

MessageAnswer messageBox(Dialog* owner, const char* text, const char* caption, MessageButtons buttons) {
  UINT type = buttons == MessageButtons::okCancel ? MB_OKCANCEL : MB_OK;
  int answer = MessageBoxW(dialogWindow(owner), wideText(text).c_str(), wideText(caption).c_str(), type);
  return answer == IDOK ? MessageAnswer::ok : MessageAnswer::cancel;
}

namespace {

// Where a dialog opens: the folder of nearFile. Windows 7 and later open the folder the user chose
// last instead when lpstrInitialDir equals what the program passed to its first file dialog:
// that value is never passed twice, but spelt once with and once without its last backslash.
std::wstring initialFolder(const char* nearFile) {
  static bool first = true;
  static std::wstring firstFolder;  // what the first dialog was given; empty for none
  std::wstring folder;
  if (nearFile && *nearFile) {
    std::wstring file = wideText(nearFile);
    DWORD size = GetFullPathNameW(file.c_str(), 0, nullptr, nullptr);
    folder.resize(size);
    wchar_t* name = nullptr;
    DWORD length = size ? GetFullPathNameW(file.c_str(), size, folder.data(), &name) : 0;
    folder.resize(length < size && name ? static_cast<size_t>(name - folder.data()) : 0);
    folder = unprefixedPath(folder);
  }
  if (first) {
    first = false;
    firstFolder = folder;
  } else if (!folder.empty() && CompareStringOrdinal(folder.c_str(), -1, firstFolder.c_str(), -1, TRUE) == CSTR_EQUAL) {
    if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();  // C:\ stays C:\, ...
    else folder += L'\\';
  }
  return folder;
}

}  // namespace

bool chooseFile(const FileDialogSetup& setup, std::string* path, const char* nearFile) {
  // The filter is pairs of zero-terminated texts, closed by an empty one.
  std::wstring filter = wideText(setup.filterName) + L'\0' + wideText(setup.filterSpec) + L'\0' + L'\0';
  std::wstring title = wideText(setup.title), extension = wideText(setup.defaultExtension);
  std::vector<wchar_t> fileName(kFileNameBufferSize, L'\0');
  std::wstring initial = wideText(path->c_str());
  initial.copy(fileName.data(), fileName.size() - 1);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = fileName.data();
  dialog.nMaxFile = kFileNameBufferSize;  // in characters, not bytes
  std::wstring folder = initialFolder(nearFile);
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  BOOL chosen = setup.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  useExtendedPrecision();
  if (!chosen) return false;
  *path = utf8Text(fileName.data());
  return true;
}

namespace {

// The shell starts no program whose path reaches MAX_PATH, and some of its versions fail on such
// a path among the parameters: such a path is given in its short (8.3) form where the volume keeps
// one. Shorter texts, and paths without a short form, as they are.
std::wstring shortFormOfLongPath(const char* file) {
  std::wstring path = wideText(file);
  WidePath full;
  if (path.size() < MAX_PATH || !widePath(file, &full)) return path;
  DWORD size = GetShortPathNameW(full.text, nullptr, 0);
  if (size == 0) return path;
  std::wstring shortPath(size, L'\0');
  DWORD length = GetShortPathNameW(full.text, shortPath.data(), size);
  if (length == 0 || length >= size) return path;
  shortPath.resize(length);
  shortPath = unprefixedPath(shortPath);
  return shortPath.size() < MAX_PATH ? shortPath : path;
}

}  // namespace

long long shellStart(const char* file, const char* parameters, ShellStart how) {
  std::wstring program = shortFormOfLongPath(file), arguments = shortFormOfLongPath(parameters);
  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof start;
  // Only the caller's own message speaks; the start is complete before the caller may end.
  start.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | (how == ShellStart::sibling ? SEE_MASK_NOZONECHECKS : 0);
  start.lpFile = program.c_str();
  start.lpParameters = arguments.c_str();
  start.nShow = SW_SHOWNORMAL;
  BOOL started = ShellExecuteExW(&start);
  long long result = static_cast<long long>(reinterpret_cast<INT_PTR>(start.hInstApp));
  // hInstApp is above 32 after a start and an SE_ERR_ code after a failure; 0 where unset.
  return started ? (result > 32 ? result : 33) : (result > 0 && result < 32 ? result : 0);
}

void writeErrorStream(const char* text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;  // started from the desktop
  // Text mode: every line end leaves as CR LF.
  std::string bytes;
  for (char c : codePageText(text, kErrorStreamCodePage)) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  DWORD written;
  WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
