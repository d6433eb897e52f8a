// Paths inside the programs are UTF-8 on every platform (the Windows layer converts them from
// and to UTF-16 at its calls). No byte of a multi-byte UTF-8 character is ASCII, so every byte
// that is a separator is one, whatever characters the names hold.
#pragma once

#include <cstddef>
#include <string>

// Position of the last byte of path that is one of separators; std::string::npos when there is
// none.
size_t lastPathSeparator(const std::string& path, const char* separators);
