// The output file's wait on POSIX systems.
#include <time.h>

#include <cerrno>

#include "platform/file_system.h"

void systemSleep(unsigned milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}
