// The command-line tail rule both programs share.
#pragma once

#include <string>

// The process command line after leading blanks and tabs, the program name and the blanks and
// tabs that follow it. The rest is returned verbatim, quotation marks and trailing blanks included.
const char* commandLineTail(const char* commandLine);

// The path a tail names: the tail itself, except that one path enclosed in a single pair of
// quotation marks (as Explorer passes paths with blanks) loses the marks. Windows file names
// cannot hold quotation marks, so no other tail changes meaning.
std::string pathFromTail(const char* tail);
