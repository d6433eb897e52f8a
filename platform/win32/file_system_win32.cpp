// The file-system primitives on Windows. Documents are written with WriteFile and flushed with
// FlushFileBuffers: the C runtime's buffered writes were seen to report success for data that
// never reached a full disk.
#include "platform/file_system.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

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
    case ERROR_SHARING_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:   // both files kept their names:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:  // the target was held
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

// The path of the file that a symbolic link names, in resolved (kResolvedSize bytes); false when
// target is no link or cannot be followed.
constexpr DWORD kResolvedSize = 32768;
bool followLink(const char* target, char* resolved) {
  DWORD attributes = GetFileAttributesA(target);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  HANDLE handle = CreateFileA(target, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD length = GetFinalPathNameByHandleA(handle, resolved, kResolvedSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(handle);
  if (length == 0 || length >= kResolvedSize) return false;
  // Without the "\\?\" prefix: C:\... and \\server\..., the forms every program takes.
  if (std::strncmp(resolved, "\\\\?\\UNC\\", 8) == 0) {
    std::memmove(resolved + 2, resolved + 8, length - 8 + 1);
  } else if (std::strncmp(resolved, "\\\\?\\", 4) == 0) {
    std::memmove(resolved, resolved + 4, length - 4 + 1);
  }
  return true;
}

}  // namespace

// A save through a symbolic link replaces the file the link names, as on POSIX systems; the link
// stays.
size_t systemReplacedPath(const char* target, char* out, size_t outSize) {
  static char resolved[kResolvedSize];
  const char* path = followLink(target, resolved) ? resolved : target;
  size_t length = std::strlen(path);
  if (outSize > length) std::memcpy(out, path, length + 1);
  return length;
}

int systemCreateNew(const char* path, const char*, SystemFile* file) {
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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

// An existing target is swapped with ReplaceFile, which gives the new file the old one's security
// descriptor, attributes and streams; spare holds the old one until the swap is done.
int systemReplace(const char* from, const char* to, const char* spare) {
  DWORD attributes = GetFileAttributesA(to);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : lastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;  // never swapped away
  if (ReplaceFileA(to, from, spare, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    DeleteFileA(spare);
    return 0;
  }
  DWORD code = GetLastError();
  // The old file went to spare but the new one could not follow: the old one goes back.
  if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExA(spare, to, MOVEFILE_REPLACE_EXISTING);
  return errorNumber(code);
}

void systemRemove(const char* path) { DeleteFileA(path); }

void systemSleep(unsigned milliseconds) { Sleep(milliseconds); }

unsigned long systemProcessId() { return GetCurrentProcessId(); }

bool pathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool fileOpensForReading(const char* path) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

const char* directorySeparators() { return "\\"; }

unsigned systemCodePage() { return GetACP(); }
