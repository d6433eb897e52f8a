// Output files on POSIX systems: write(2) with checked counts, fsync, then rename(2).
#include "platform/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/memory.h"

// Plain memory from the allocation hook, so that a test can fail any allocation of a save.
struct OutputFile {
  int fd;
  bool failed;
  int savedErrno;
  char* target;
  char* temporary;  // nullptr when writing straight into a device or pipe
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

// write(2), or the armed fault in its place.
ssize_t writeCall(int fd, const char* data, size_t size) {
  bool thisCall = ++gWriteCalls == gFault.write;
  if (thisCall && size >= 2 && faultAt(OutputFaultPoint::shortWrite)) {
    gFault = OutputFault{OutputFaultPoint::write, gWriteCalls + 1};  // the call for the rest
    size /= 2;
  } else if (thisCall && (faultAt(OutputFaultPoint::write) || faultAt(OutputFaultPoint::shortWrite))) {
    errno = ENOSPC;
    return -1;
  }
  return write(fd, data, size);
}

// The message and errno of a failure; a message that cannot be held makes it a memory failure.
void reportFailure(std::string* error, int code) {
  if (!assignText(error, std::strerror(code))) code = ENOMEM;
  errno = code;
}

char* copyText(const char* text) {
  size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(allocateBytes(size));
  if (copy) std::memcpy(copy, text, size);
  return copy;
}

void releaseFile(OutputFile* file) {
  releaseBytes(file->target);
  releaseBytes(file->temporary);
  releaseBytes(file);
}

// Frees the handle and reports code.
OutputFile* createFailed(OutputFile* file, std::string* error, int code) {
  releaseFile(file);
  reportFailure(error, code);
  return nullptr;
}

}  // namespace

OutputFile* outputFileCreate(const char* targetPath, std::string* error) {
  OutputFile* file = static_cast<OutputFile*>(allocateBytes(sizeof(OutputFile)));
  if (!file) {
    reportFailure(error, ENOMEM);
    return nullptr;
  }
  *file = OutputFile{-1, false, 0, nullptr, nullptr};
  struct stat st;
  bool exists = stat(targetPath, &st) == 0;
  if (exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    // A device or a pipe cannot be replaced, only written to.
    file->fd = open(targetPath, O_WRONLY | O_TRUNC | O_CLOEXEC);
    return file->fd < 0 ? createFailed(file, error, errno) : file;
  }
  // Through a symbolic link the file it names is replaced, not the link.
  char resolved[PATH_MAX];
  file->target = copyText(exists && realpath(targetPath, resolved) ? resolved : targetPath);
  if (!file->target) return createFailed(file, error, ENOMEM);
  // The temporary file must sit in the target's folder so that the final rename stays on one
  // filesystem; a name that cannot be created there fails exactly like the target would.
  size_t nameSize = std::strlen(file->target) + 48;  // ".~", a process id, "-", a number, ".tmp"
  file->temporary = static_cast<char*>(allocateBytes(nameSize));
  if (!file->temporary) return createFailed(file, error, ENOMEM);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::snprintf(file->temporary, nameSize, "%s.~%ld-%u.tmp", file->target, static_cast<long>(getpid()), attempt);
    file->fd = open(file->temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file->fd >= 0 || errno != EEXIST) break;
  }
  if (file->fd < 0) return createFailed(file, error, errno);
  // An existing target keeps its permission bits.
  if (exists && S_ISREG(st.st_mode)) fchmod(file->fd, st.st_mode & 07777);
  return file;
}

bool outputFileWrite(OutputFile* file, const char* data, size_t size) {
  while (size > 0 && !file->failed) {
    ssize_t n = writeCall(file->fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      file->failed = true;
      file->savedErrno = errno;
    } else if (n == 0) {
      file->failed = true;
      file->savedErrno = ENOSPC;
    } else {
      data += n;
      size -= static_cast<size_t>(n);
    }
  }
  return !file->failed;
}

bool outputFileCommit(OutputFile* file, std::string* error) {
  // The first failure is the one reported.
  auto failWith = [file](int code) {
    if (file->failed) return;
    file->failed = true;
    file->savedErrno = code;
  };
  if (!file->failed) {
    if (faultAt(OutputFaultPoint::flush))
      failWith(EIO);
    else if (fsync(file->fd) != 0 && errno != EINVAL)
      failWith(errno);
  }
  int closed = close(file->fd);
  int closeErrno = errno;
  if (faultAt(OutputFaultPoint::close)) {
    closed = -1;
    closeErrno = EIO;
  }
  if (closed != 0) failWith(closeErrno);
  if (!file->failed && file->temporary) {
    if (faultAt(OutputFaultPoint::move))
      failWith(EACCES);
    else if (rename(file->temporary, file->target) != 0)
      failWith(errno);
  }
  bool ok = !file->failed;
  int code = file->savedErrno;
  if (!ok && file->temporary) unlink(file->temporary);
  releaseFile(file);
  if (!ok) reportFailure(error, code);
  return ok;
}

void outputFileDiscard(OutputFile* file) {
  close(file->fd);
  if (file->temporary) unlink(file->temporary);
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
