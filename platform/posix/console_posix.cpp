// The batch tool's terminal on POSIX systems: arguments and terminals are UTF-8 already.
#include "platform/console.h"

#include <cstdio>

std::vector<std::string> consoleArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void consoleWriteError(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); }
