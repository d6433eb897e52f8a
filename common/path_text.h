// Paths inside the programs are UTF-8 on every platform (the Windows layer converts them from
// and to UTF-16 at its calls). No byte of a multi-byte UTF-8 character is ASCII, so every byte
// that is a separator is one, whatever characters the names hold.
#pragma once

#include <cstddef>
#include <string>

// The file-name part of path: the text after its last separator, or the whole path.
std::string fileNamePart(const std::string& path, const char* separators);
// The folder part: the text up to and including the last separator; empty without one.
std::string folderPart(const std::string& path, const char* separators);
