// Output files, the same on every platform over the primitives of file_system.h: the document
// goes to a temporary file beside its target, and the commit flushes, closes and moves it there.
#include "platform/output_file.h"

#include <charconv>
#include <cstring>

#include "common/memory.h"
#include "platform/file_system.h"

// Plain memory from the allocation hook, so that a test can fail any allocation of a save.
struct OutputFile {
  SystemFile handle;
  int error;        // the first failure, 0 while there is none
  char* target;     // the path to replace
  char* temporary;  // nullptr when writing in place (a device or a pipe)
  char* spare;      // a name beside it for the replaced file while the two swap; in temporary's block
  bool keepTemporary;  // a failed replace left the target's name empty: the new file stays
};

namespace {

// Attempts at a free temporary name before the last error is given up on.
constexpr unsigned kTemporaryNameTries = 100;
// Attempts at moving the file onto a target that another program holds (a virus scanner, the search
// indexer: systemErrorIsHeld), and the wait between two.
constexpr int kReplaceAttempts = 11;
constexpr unsigned kReplaceWaitMs = 100;

void releaseFile(OutputFile* file) {
  releaseBytes(file->target);
  releaseBytes(file->temporary);
  releaseBytes(file);
}

OutputFile* createFailed(OutputFile* file, IoResult* result, IoResult reason) {
  releaseFile(file);
  *result = reason;
  return nullptr;
}

// target + ".~" + process id + "-" + attempt + ".tmp"; `name` holds kTemporaryNameExtra more
// bytes than the target.
constexpr size_t kTemporaryNameExtra = 48;
void formatTemporaryName(char* name, const char* target, unsigned attempt) {
  size_t length = std::strlen(target);
  std::memcpy(name, target, length);
  char* p = name + length;
  *p++ = '.';
  *p++ = '~';
  p = std::to_chars(p, p + 20, systemProcessId()).ptr;
  *p++ = '-';
  p = std::to_chars(p, p + 10, attempt).ptr;
  std::memcpy(p, ".tmp", 5);
}

// The path to replace, as the platform resolves it.
char* replacedPath(const char* targetPath) {
  size_t length = systemReplacedPath(targetPath, nullptr, 0);
  char* path = static_cast<char*>(allocateBytes(length + 1));
  // A link that changed in between: the path as given.
  if (path && systemReplacedPath(targetPath, path, length + 1) != length) {
    releaseBytes(path);
    path = static_cast<char*>(allocateBytes(std::strlen(targetPath) + 1));
    if (path) std::memcpy(path, targetPath, std::strlen(targetPath) + 1);
  }
  return path;
}

// Moves the complete file onto its target, again while the target is held. A replace that fails
// after the target's name went empty (Windows' swap can end so, with the old file under the
// spare name) keeps the new file under its temporary name: no data is lost either way.
int replaceTarget(OutputFile* file) {
  bool targetExisted = pathExists(file->target);
  for (int attempt = 1;; ++attempt) {
    int error = systemReplace(file->temporary, file->target, file->spare);
    if (!systemErrorIsHeld(error) || attempt == kReplaceAttempts) {
      file->keepTemporary = error != 0 && targetExisted && !pathExists(file->target);
      return error;
    }
    systemSleep(kReplaceWaitMs);
  }
}

// What the commit leaves beside the target for the user: the names move into *left.
void noteLeftBeside(OutputFile* file, int error, LeftBeside* left) {
  bool newLeft = error != 0 && file->keepTemporary;
  bool oldLeft = file->spare && pathExists(file->spare);
  if (!left || !(newLeft || oldLeft)) return;
  *left = LeftBeside{file->temporary, newLeft ? file->temporary : nullptr, oldLeft ? file->spare : nullptr};
  file->temporary = nullptr;  // the names' block is the caller's now
}

}  // namespace

OutputFile* outputFileCreate(const char* targetPath, IoResult* result) {
  OutputFile* file = static_cast<OutputFile*>(allocateBytes(sizeof(OutputFile)));
  if (!file) {
    *result = kIoOutOfMemory;
    return nullptr;
  }
  *file = OutputFile{0, 0, nullptr, nullptr, nullptr, false};
  // A device or a pipe cannot be replaced, only written to.
  int error = systemOpenInPlace(targetPath, &file->handle);
  if (error == 0) return file;
  if (error != kSystemNotInPlace)
    return createFailed(file, result, error == kSystemOutOfMemory ? kIoOutOfMemory : ioFailed(error));
  file->target = replacedPath(targetPath);
  if (!file->target) return createFailed(file, result, kIoOutOfMemory);
  // The temporary file sits in the target's folder, so that the final move stays on one
  // filesystem; a name that cannot be created there fails exactly like the target would.
  size_t nameSize = std::strlen(file->target) + kTemporaryNameExtra;
  file->temporary = static_cast<char*>(allocateBytes(2 * nameSize));
  if (!file->temporary) return createFailed(file, result, kIoOutOfMemory);
  for (unsigned attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    formatTemporaryName(file->temporary, file->target, attempt);
    error = systemCreateNew(file->temporary, file->target, &file->handle);
    if (error != kSystemNameTaken) break;
  }
  if (error != 0) return createFailed(file, result, error == kSystemOutOfMemory ? kIoOutOfMemory : ioFailed(error));
  // The temporary name with ".old" for ".tmp".
  file->spare = file->temporary + nameSize;
  size_t temporaryLength = std::strlen(file->temporary);
  std::memcpy(file->spare, file->temporary, temporaryLength - 3);
  std::memcpy(file->spare + temporaryLength - 3, "old", 4);
  *result = kIoDone;
  return file;
}

bool outputFileWrite(OutputFile* file, const char* data, size_t size) {
  while (size > 0 && file->error == 0) {
    int error = 0;
    int64_t n = systemWrite(file->handle, data, size, &error);
    if (n < 0) {
      file->error = error;
    } else {
      data += n;
      size -= static_cast<size_t>(n);
    }
  }
  return file->error == 0;
}

IoResult outputFileCommit(OutputFile* file, LeftBeside* left) {
  if (left) *left = LeftBeside{nullptr, nullptr, nullptr};
  // The first failure is the one reported.
  auto failWith = [file](int error) {
    if (file->error == 0) file->error = error;
  };
  if (file->error == 0) failWith(systemFlush(file->handle));
  failWith(systemClose(file->handle));
  if (file->error == 0 && file->temporary) failWith(replaceTarget(file));
  int error = file->error;
  if (error != 0 && file->temporary && !file->keepTemporary) systemRemove(file->temporary);
  if (file->temporary) noteLeftBeside(file, error, left);
  releaseFile(file);
  return error == 0 ? kIoDone : ioFailed(error);
}

void leftBesideRelease(LeftBeside* left) {
  releaseBytes(left->names);
  *left = LeftBeside{nullptr, nullptr, nullptr};
}

void outputFileDiscard(OutputFile* file) {
  systemClose(file->handle);
  if (file->temporary) systemRemove(file->temporary);
  releaseFile(file);
}

bool drainToOutputFile(void* context, const char* data, size_t size) {
  return outputFileWrite(static_cast<OutputFile*>(context), data, size);
}
