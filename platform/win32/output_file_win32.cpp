// Output files on Windows: WriteFile with checked byte counts and FlushFileBuffers, then
// MoveFileExA onto the target. The C runtime's buffered writes were seen to report success for
// data that never reached a full disk, so they are not used for documents.
#include "platform/output_file.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <new>

struct OutputFile {
  HANDLE handle;
  bool failed;
  DWORD savedError;
  std::string target;
  std::string temporary;
};

namespace {

// The standard library's message for the error number that matches a system error code.
std::string systemMessage(DWORD code) {
  int e;
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: e = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY: e = EACCES; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: e = ENOSPC; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: e = ENOMEM; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: e = EEXIST; break;
    case ERROR_TOO_MANY_OPEN_FILES: e = EMFILE; break;
    default: e = EIO; break;
  }
  return std::strerror(e);
}

}  // namespace

OutputFile* outputFileCreate(const char* targetPath, std::string* error) {
  OutputFile* file = new (std::nothrow) OutputFile{INVALID_HANDLE_VALUE, false, 0, targetPath, {}};
  if (!file) {
    *error = systemMessage(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  DWORD lastError = 0;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    file->temporary = file->target + ".~" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(attempt) + ".tmp";
    file->handle = CreateFileA(file->temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->handle != INVALID_HANDLE_VALUE) break;
    lastError = GetLastError();
    if (lastError != ERROR_FILE_EXISTS && lastError != ERROR_ALREADY_EXISTS) break;
  }
  if (file->handle == INVALID_HANDLE_VALUE) {
    *error = systemMessage(lastError);
    delete file;
    return nullptr;
  }
  return file;
}

bool outputFileWrite(OutputFile* file, const char* data, size_t size) {
  while (size > 0 && !file->failed) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file->handle, data, chunk, &written, nullptr)) {
      file->failed = true;
      file->savedError = GetLastError();
    } else if (written == 0) {
      file->failed = true;
      file->savedError = ERROR_DISK_FULL;
    } else {
      data += written;
      size -= written;
    }
  }
  return !file->failed;
}

bool outputFileCommit(OutputFile* file, std::string* error) {
  if (!file->failed && !FlushFileBuffers(file->handle)) {
    file->failed = true;
    file->savedError = GetLastError();
  }
  if (!CloseHandle(file->handle) && !file->failed) {
    file->failed = true;
    file->savedError = GetLastError();
  }
  if (!file->failed &&
      !MoveFileExA(file->temporary.c_str(), file->target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    file->failed = true;
    file->savedError = GetLastError();
  }
  bool ok = !file->failed;
  if (!ok) {
    *error = systemMessage(file->savedError);
    DeleteFileA(file->temporary.c_str());
  }
  delete file;
  return ok;
}

void outputFileDiscard(OutputFile* file) {
  CloseHandle(file->handle);
  DeleteFileA(file->temporary.c_str());
  delete file;
}

bool drainToOutputFile(void* context, const char* data, size_t size) {
  return outputFileWrite(static_cast<OutputFile*>(context), data, size);
}
