// The file-system primitives on Windows. Documents are written with WriteFile and flushed with
// FlushFileBuffers: the C runtime's buffered writes were seen to report success for data that
// never reached a full disk.
#include "platform/file_system.h"

#include <windows.h>

#include <new>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/win32/wide_text.h"

namespace {

HANDLE handleOf(SystemFile file) { return reinterpret_cast<HANDLE>(file); }

// The standard library's error number that matches a system error code.
int errorNumber(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:  // a target another program holds: tried again
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    default: return EIO;
  }
}

int lastError() { return errorNumber(GetLastError()); }

}  // namespace

// Windows programs are not given devices or pipes as save targets.
int systemOpenInPlace(const char*, SystemFile*) { return ENOTSUP; }

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
  // Without the "\\?\" prefix: C:\... and \\server\..., the forms every program takes; the file
  // functions here add it again where a path needs it.
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    path.replace(0, 8, L"\\\\");
  } else if (path.rfind(L"\\\\?\\", 0) == 0) {
    path.erase(0, 4);
  }
  *resolved = utf8Text(path.c_str(), path.size());
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
  if (!widePath(path, &name)) return ENOMEM;
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
    *error = ENOSPC;
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

// After a swap that failed. ReplaceFile may have moved the old file to the spare name and left
// the target's name empty (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2): it goes back first; should it
// not, the new file takes the name, or both stay where they are for the user and the target's
// name stays empty (the output file then keeps the new one). With both files under their own
// names again, as after every other error, a plain move still saves where the swap was refused
// in part (some network shares and file systems do).
int afterFailedSwap(const wchar_t* from, const wchar_t* to, const wchar_t* spare) {
  if (!exists(to) && exists(spare) && !MoveFileExW(spare, to, 0)) {
    int error = moveOnto(from, to);
    if (error == 0) DeleteFileW(spare);
    return error;
  }
  return moveOnto(from, to);
}

}  // namespace

// An existing target is swapped with ReplaceFile, which gives the new file the old one's security
// descriptor, attributes and streams; spare holds the old one until the swap is done.
int systemReplace(const char* from, const char* to, const char* spare) {
  WidePath source, target, backup;
  if (!widePath(from, &source) || !widePath(to, &target) || !widePath(spare, &backup)) return ENOMEM;
  DWORD attributes = GetFileAttributesW(target.text);
  if (attributes == INVALID_FILE_ATTRIBUTES) return moveOnto(source.text, target.text);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;  // never swapped away
  // Windows refuses to replace a read-only file, and so do we, even where a move would not.
  if (attributes & FILE_ATTRIBUTE_READONLY) return EPERM;
  if (ReplaceFileW(target.text, source.text, backup.text, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    DeleteFileW(backup.text);
    return 0;
  }
  return afterFailedSwap(source.text, target.text, backup.text);
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
  if (!widePath(path, &name)) return ENOMEM;
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

const char* directorySeparators() { return "\\"; }
