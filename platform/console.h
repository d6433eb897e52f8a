// The batch tool's terminal: its arguments and its error stream, for paths of any characters.
#pragma once

#include <string>
#include <vector>

// The process's arguments as UTF-8, the program's own name first: on Windows from its UTF-16
// command line, so that every path arrives whole whatever the code page; elsewhere argv itself.
std::vector<std::string> consoleArguments(int argc, char** argv);

// Writes UTF-8 text to the standard error stream: a Windows console shows it through UTF-16,
// whatever its code page; files, pipes and POSIX terminals get the UTF-8 bytes.
void consoleWriteError(const std::string& text);
