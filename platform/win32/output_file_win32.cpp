// Output files on Windows: WriteFile with checked byte counts and FlushFileBuffers, then
// MoveFileExA onto the target. The C runtime's buffered writes were seen to report success for
// data that never reached a full disk, so they are not used for documents.
#include "platform/output_file.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/memory.h"

// Plain memory from the allocation hook, so that a test can fail any allocation of a save.
struct OutputFile {
  HANDLE handle;
  bool failed;
  DWORD savedError;
  char* target;
  char* temporary;
};

namespace {

// The test hook: the armed fault and the write calls made since it was armed.
OutputFault gFault{};
int gWriteCalls = 0;

// True, once, when the armed fault is at this point.
bool faultAt(OutputFaultPoint point) {
  if (gFault.point != point) return false;
  gFault = OutputFault{};
  return true;
}

// WriteFile, or the armed fault in its place.
BOOL writeCall(HANDLE handle, const char* data, DWORD size, DWORD* written) {
  bool thisCall = ++gWriteCalls == gFault.write;
  if (thisCall && size >= 2 && faultAt(OutputFaultPoint::shortWrite)) {
    gFault = OutputFault{OutputFaultPoint::write, gWriteCalls + 1};  // the call for the rest
    size /= 2;
  } else if (thisCall && (faultAt(OutputFaultPoint::write) || faultAt(OutputFaultPoint::shortWrite))) {
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return WriteFile(handle, data, size, written, nullptr);
}

// The error number of the standard library that matches a system error code.
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

// The standard library's message and number for a system error code in *error and errno; a
// message that cannot be held makes it a memory failure.
void reportFailure(std::string* error, DWORD code) {
  int e = errorNumber(code);
  if (!assignText(error, std::strerror(e))) e = ENOMEM;
  errno = e;
}

void releaseFile(OutputFile* file) {
  releaseBytes(file->target);
  releaseBytes(file->temporary);
  releaseBytes(file);
}

}  // namespace

OutputFile* outputFileCreate(const char* targetPath, std::string* error) {
  OutputFile* file = static_cast<OutputFile*>(allocateBytes(sizeof(OutputFile)));
  if (!file) {
    reportFailure(error, ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  *file = OutputFile{INVALID_HANDLE_VALUE, false, 0, nullptr, nullptr};
  size_t targetSize = std::strlen(targetPath) + 1;
  size_t nameSize = targetSize + 48;  // ".~", a process id, "-", a number, ".tmp"
  file->target = static_cast<char*>(allocateBytes(targetSize));
  file->temporary = file->target ? static_cast<char*>(allocateBytes(nameSize)) : nullptr;
  if (!file->temporary) {
    releaseFile(file);
    reportFailure(error, ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memcpy(file->target, targetPath, targetSize);
  DWORD lastError = 0;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::snprintf(file->temporary, nameSize, "%s.~%lu-%u.tmp", file->target,
                  static_cast<unsigned long>(GetCurrentProcessId()), attempt);
    file->handle = CreateFileA(file->temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->handle != INVALID_HANDLE_VALUE) break;
    lastError = GetLastError();
    if (lastError != ERROR_FILE_EXISTS && lastError != ERROR_ALREADY_EXISTS) break;
  }
  if (file->handle == INVALID_HANDLE_VALUE) {
    releaseFile(file);
    reportFailure(error, lastError);
    return nullptr;
  }
  return file;
}

bool outputFileWrite(OutputFile* file, const char* data, size_t size) {
  while (size > 0 && !file->failed) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!writeCall(file->handle, data, chunk, &written)) {
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
  // The first failure is the one reported.
  auto failWith = [file](DWORD code) {
    if (file->failed) return;
    file->failed = true;
    file->savedError = code;
  };
  if (!file->failed) {
    if (faultAt(OutputFaultPoint::flush))
      failWith(ERROR_WRITE_FAULT);
    else if (!FlushFileBuffers(file->handle))
      failWith(GetLastError());
  }
  BOOL closed = CloseHandle(file->handle);
  DWORD closeError = closed ? 0 : GetLastError();
  if (faultAt(OutputFaultPoint::close)) {
    closed = FALSE;
    closeError = ERROR_WRITE_FAULT;
  }
  if (!closed) failWith(closeError);
  if (!file->failed) {
    if (faultAt(OutputFaultPoint::move))
      failWith(ERROR_ACCESS_DENIED);
    else if (!MoveFileExA(file->temporary, file->target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      failWith(GetLastError());
  }
  bool ok = !file->failed;
  DWORD code = file->savedError;
  if (!ok) DeleteFileA(file->temporary);
  releaseFile(file);
  if (!ok) reportFailure(error, code);
  return ok;
}

void outputFileDiscard(OutputFile* file) {
  CloseHandle(file->handle);
  DeleteFileA(file->temporary);
  releaseFile(file);
}

bool drainToOutputFile(void* context, const char* data, size_t size) {
  return outputFileWrite(static_cast<OutputFile*>(context), data, size);
}

void outputFileInjectFailure(OutputFault fault) {
  gFault = fault;
  gWriteCalls = 0;
}

int outputFileWriteCalls() { return gWriteCalls; }
