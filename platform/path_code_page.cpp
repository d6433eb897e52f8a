// The code page that paths are read in, the same on every platform over systemCodePage.
#include "platform/file_system.h"

namespace {
unsigned gOverride = 0;  // the test hook's code page; 0: the system's
}  // namespace

LeadBytes pathLeadBytes() { return leadBytesOfCodePage(gOverride != 0 ? gOverride : systemCodePage()); }

void pathCodePageOverride(unsigned codePage) { gOverride = codePage; }
