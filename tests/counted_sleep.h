// The tests' systemSleep: it counts the waits the file-system layer is asked for instead of
// waiting, so that a test sees each wait between two attempts and none takes time.
#pragma once

// Waits asked for since the last reset, and their milliseconds together.
int countedSleeps();
unsigned long long countedSleepMilliseconds();
void countedSleepsReset();
