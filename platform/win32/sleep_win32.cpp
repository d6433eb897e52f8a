// The output file's wait on Windows.
#include <windows.h>

#include "platform/file_system.h"

void systemSleep(unsigned milliseconds) { Sleep(milliseconds); }
