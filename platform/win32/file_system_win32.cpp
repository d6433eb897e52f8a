// The file-system primitives on Windows. Documents are written with WriteFile and flushed with
// FlushFileBuffers: the C runtime's buffered writes were seen to report success for data that
// never reached a full disk.
#include "platform/file_system.h"

#include <windows.h>

#include <new>

#include <cstring>
#include <string>

#include "platform/win32/wide_text.h"

namespace {

HANDLE handleOf(SystemFile file) { return reinterpret_cast<HANDLE>(file); }

// The call's error; never 0, even where the system named none.
int lastError() {
  DWORD code = GetLastError();
  return code ? static_cast<int>(code) : ERROR_GEN_FAILURE;
}

}  // namespace

const int kSystemOutOfMemory = ERROR_NOT_ENOUGH_MEMORY;
const int kSystemNameTaken = ERROR_FILE_EXISTS;

bool systemErrorIsHeld(int error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:
    // The swap's own ways of saying that a file could not be renamed or removed: held.
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: return true;
    default: return false;
  }
}

std::string systemErrorText(int error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  // The system's messages end in a line end.
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) --length;
  std::string message = length ? utf8Text(text, length) : "Windows error " + std::to_string(error);
  LocalFree(text);
  return message;
}

// Windows programs are not given devices or pipes as save targets.
int systemOpenInPlace(const char*, SystemFile*) { return kSystemNotInPlace; }

namespace {

// The path of the file that a symbolic link names; false when target is no link or cannot be
// followed.
bool followLink(const wchar_t* target, std::string* resolved) {
  DWORD attributes = GetFileAttributesW(target);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  HANDLE handle = CreateFileW(target, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  std::wstring path(32768, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(handle);
  if (length == 0 || length >= path.size()) return false;
  path.resize(length);
  // C:\... and \\server\..., the forms every program takes; the file functions here add the
  // prefix again where a path needs it.
  *resolved = utf8Text(unprefixedPath(path).c_str());
  return true;
}

}  // namespace

// A save through a symbolic link replaces the file the link names, as on POSIX systems; the link
// stays. Out of memory, the path as given: creating the temporary file then fails the same way.
size_t systemReplacedPath(const char* target, char* out, size_t outSize) {
  std::string resolved;
  WidePath wide;
  const char* path = target;
  try {
    if (widePath(target, &wide) && followLink(wide.text, &resolved)) path = resolved.c_str();
  } catch (const std::bad_alloc&) {
  }
  size_t length = std::strlen(path);
  if (outSize > length) std::memcpy(out, path, length + 1);
  return length;
}

int systemCreateNew(const char* path, const char*, SystemFile* file) {
  WidePath name;
  if (!widePath(path, &name)) return kSystemOutOfMemory;
  HANDLE handle = CreateFileW(name.text, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return lastError();
  *file = reinterpret_cast<SystemFile>(handle);
  return 0;
}

int64_t systemWrite(SystemFile file, const char* data, size_t size, int* error) {
  DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  DWORD written = 0;
  if (!WriteFile(handleOf(file), data, chunk, &written, nullptr)) {
    *error = lastError();
    return -1;
  }
  if (written == 0) {
    *error = ERROR_DISK_FULL;
    return -1;
  }
  return written;
}

int systemFlush(SystemFile file) { return FlushFileBuffers(handleOf(file)) ? 0 : lastError(); }

int systemClose(SystemFile file) { return CloseHandle(handleOf(file)) ? 0 : lastError(); }

namespace {

constexpr DWORD kMoveOnto = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

bool exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

int moveOnto(const wchar_t* from, const wchar_t* to) {
  return MoveFileExW(from, to, kMoveOnto) ? 0 : lastError();
}

// Volumes where the swap cannot work at all (some network shares and file systems refuse it so):
// a plain move still saves there.
bool swapUnsupported(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

// An existing target is swapped with ReplaceFile, which gives the new file the old one's security
// descriptor, attributes and streams; spare holds the old one until the swap is done. A target
// that another program holds fails as held, for the caller to try again, never by a plain move,
// which would drop what the swap keeps.
int systemReplace(const char* from, const char* to, const char* spare) {
  WidePath source, target, backup;
  if (!widePath(from, &source) || !widePath(to, &target) || !widePath(spare, &backup)) return kSystemOutOfMemory;
  // An earlier attempt's swap moved the old file aside and left the target without a name: the
  // old file goes back first.
  if (!exists(target.text) && exists(backup.text) && !MoveFileExW(backup.text, target.text, 0)) return lastError();
  DWORD attributes = GetFileAttributesW(target.text);
  if (attributes == INVALID_FILE_ATTRIBUTES) return moveOnto(source.text, target.text);
  // A folder of that name is never swapped away: "cannot create a file when that file already exists".
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ALREADY_EXISTS;
  // Windows refuses to replace a read-only file, and so do we, even where a move would not.
  if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_FILE_READ_ONLY;
  if (ReplaceFileW(target.text, source.text, backup.text, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    DeleteFileW(backup.text);
    return 0;
  }
  DWORD error = GetLastError();
  // The old file under the spare name, the target's name empty: it goes back now, or the next
  // attempt puts it back.
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExW(backup.text, target.text, 0);
  if (swapUnsupported(error)) return moveOnto(source.text, target.text);
  return error ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

void systemRemove(const char* path) {
  WidePath name;
  if (widePath(path, &name)) DeleteFileW(name.text);
}

void systemSleep(unsigned milliseconds) { Sleep(milliseconds); }

unsigned long systemProcessId() { return GetCurrentProcessId(); }

// Others may read and write the file meanwhile, as with the C library's fopen.
int systemOpenRead(const char* path, SystemFile* file) {
  WidePath name;
  if (!widePath(path, &name)) return kSystemOutOfMemory;
  HANDLE handle = CreateFileW(name.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return lastError();
  *file = reinterpret_cast<SystemFile>(handle);
  return 0;
}

int64_t systemRead(SystemFile file, void* data, size_t size, int* error) {
  DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!ReadFile(handleOf(file), data, chunk, &got, nullptr)) {
    *error = lastError();
    return -1;
  }
  return got;
}

int systemSeekStart(SystemFile file) {
  LARGE_INTEGER start{};
  return SetFilePointerEx(handleOf(file), start, nullptr, FILE_BEGIN) ? 0 : lastError();
}

bool pathExists(const char* path) {
  WidePath name;
  return widePath(path, &name) && GetFileAttributesW(name.text) != INVALID_FILE_ATTRIBUTES;
}

bool fileOpensForReading(const char* path) {
  WidePath name;
  if (!widePath(path, &name)) return false;
  HANDLE handle = CreateFileW(name.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

// Windows takes "/" as well as "\\" (C:/site/points.xyz, as scripts and Python write paths).
const char* directorySeparators() { return "\\/"; }

std::string programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // cut short: a longer buffer
  }
  // The form the program was started by, "\\?\" included where it was.
  std::string module = utf8Text(unprefixedPath(path).c_str());
  return module.substr(0, module.find_last_of(directorySeparators()) + 1);
}
