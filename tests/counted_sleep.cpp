#include "tests/counted_sleep.h"

#include "platform/file_system.h"

namespace {
int gSleeps = 0;
unsigned long long gMilliseconds = 0;
}  // namespace

void systemSleep(unsigned milliseconds) {
  ++gSleeps;
  gMilliseconds += milliseconds;
}

int countedSleeps() { return gSleeps; }
unsigned long long countedSleepMilliseconds() { return gMilliseconds; }
void countedSleepsReset() {
  gSleeps = 0;
  gMilliseconds = 0;
}
