// The file-system primitives on POSIX systems.
#include "platform/file_system.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
int descriptor(SystemFile file) { return static_cast<int>(file); }
}  // namespace

const int kSystemOutOfMemory = ENOMEM;
const int kSystemNameTaken = EEXIST;

bool systemErrorIsHeld(int error) { return error == EACCES || error == EBUSY; }

std::string systemErrorText(int error) { return std::strerror(error); }

int systemOpenInPlace(const char* target, SystemFile* file) {
  struct stat st;
  if (stat(target, &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return kSystemNotInPlace;
  int fd = open(target, O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return errno;
  *file = fd;
  return 0;
}

size_t systemReplacedPath(const char* target, char* out, size_t outSize) {
  char resolved[PATH_MAX];
  const char* path = realpath(target, resolved) ? resolved : target;
  size_t length = std::strlen(path);
  if (outSize > length) std::memcpy(out, path, length + 1);
  return length;
}

int systemCreateNew(const char* path, const char* like, SystemFile* file) {
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  // A replaced file keeps its permission bits.
  struct stat st;
  if (stat(like, &st) == 0 && S_ISREG(st.st_mode)) fchmod(fd, st.st_mode & 07777);
  *file = fd;
  return 0;
}

int64_t systemWrite(SystemFile file, const char* data, size_t size, int* error) {
  for (;;) {
    ssize_t n = write(descriptor(file), data, size);
    if (n > 0) return n;
    if (n < 0 && errno == EINTR) continue;
    *error = n < 0 ? errno : ENOSPC;
    return -1;
  }
}

int systemFlush(SystemFile file) {
  return fsync(descriptor(file)) == 0 || errno == EINVAL ? 0 : errno;
}

int systemClose(SystemFile file) { return close(descriptor(file)) == 0 ? 0 : errno; }

// rename replaces in one step; the file's permission bits came from the old one at creation.
int systemReplace(const char* from, const char* to, const char*) { return std::rename(from, to) == 0 ? 0 : errno; }

void systemRemove(const char* path) { unlink(path); }

void systemSleep(unsigned milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

unsigned long systemProcessId() { return static_cast<unsigned long>(getpid()); }

int systemOpenRead(const char* path, SystemFile* file) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  // A folder opens here and fails only at its first read: it fails now, as on Windows.
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    return EISDIR;
  }
  *file = fd;
  return 0;
}

int64_t systemRead(SystemFile file, void* data, size_t size, int* error) {
  for (;;) {
    ssize_t n = read(descriptor(file), data, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    *error = errno;
    return -1;
  }
}

int systemSeekStart(SystemFile file) { return lseek(descriptor(file), 0, SEEK_SET) == 0 ? 0 : errno; }

bool pathExists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

bool fileOpensForReading(const char* path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// Tests and the batch tool also meet Windows paths here.
const char* directorySeparators() { return "\\/"; }

std::string programFolder() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  std::string folder(path, static_cast<size_t>(length));
  return folder.substr(0, folder.rfind('/') + 1);
}
