// Output files on POSIX systems: write(2) with checked counts, fsync, then rename(2).
#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

struct OutputFile {
  int fd;
  bool failed;
  int savedErrno;
  std::string target;
  std::string temporary;  // empty when writing straight into a device or pipe
};

namespace {

std::string systemMessage(int code) { return std::strerror(code); }

}  // namespace

OutputFile* outputFileCreate(const char* targetPath, std::string* error) {
  OutputFile* file = new (std::nothrow) OutputFile{-1, false, 0, targetPath, {}};
  if (!file) {
    *error = systemMessage(ENOMEM);
    return nullptr;
  }
  struct stat st;
  bool exists = stat(targetPath, &st) == 0;
  if (exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    // A device or a pipe cannot be replaced, only written to.
    file->fd = open(targetPath, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (file->fd < 0) {
      *error = systemMessage(errno);
      delete file;
      return nullptr;
    }
    return file;
  }
  // Through a symbolic link the file it names is replaced, not the link.
  if (char* resolved = exists ? realpath(targetPath, nullptr) : nullptr) {
    file->target = resolved;
    std::free(resolved);
  }
  // The temporary file must sit in the target's folder so that the final rename stays on one
  // filesystem; a name that cannot be created there fails exactly like the target would.
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    file->temporary = file->target + ".~" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    file->fd = open(file->temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file->fd >= 0 || errno != EEXIST) break;
  }
  if (file->fd < 0) {
    *error = systemMessage(errno);
    delete file;
    return nullptr;
  }
  // An existing target keeps its permission bits.
  if (exists && S_ISREG(st.st_mode)) fchmod(file->fd, st.st_mode & 07777);
  return file;
}

bool outputFileWrite(OutputFile* file, const char* data, size_t size) {
  while (size > 0 && !file->failed) {
    ssize_t n = write(file->fd, data, size);
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
  if (!file->failed && fsync(file->fd) != 0 && errno != EINVAL) {
    file->failed = true;
    file->savedErrno = errno;
  }
  if (close(file->fd) != 0 && !file->failed) {
    file->failed = true;
    file->savedErrno = errno;
  }
  if (!file->failed && !file->temporary.empty() && rename(file->temporary.c_str(), file->target.c_str()) != 0) {
    file->failed = true;
    file->savedErrno = errno;
  }
  bool ok = !file->failed;
  if (!ok) {
    *error = systemMessage(file->savedErrno);
    if (!file->temporary.empty()) unlink(file->temporary.c_str());
  }
  delete file;
  return ok;
}

void outputFileDiscard(OutputFile* file) {
  close(file->fd);
  if (!file->temporary.empty()) unlink(file->temporary.c_str());
  delete file;
}

bool drainToOutputFile(void* context, const char* data, size_t size) {
  return outputFileWrite(static_cast<OutputFile*>(context), data, size);
}
