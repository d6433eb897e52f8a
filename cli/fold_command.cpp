#include <cstdio>

#include "cli/commands.h"

int runFoldCommand(int, char**) {
  std::fputs("plotvane-cli: fold is not available yet\n", stderr);
  return 1;
}
