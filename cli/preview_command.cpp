#include <cstdio>

#include "cli/commands.h"

int runPreviewCommand(int, char**) {
  std::fputs("plotvane-cli: preview is not available yet\n", stderr);
  return 1;
}
