// Paths as the byte strings that the ANSI functions of Windows take. In a double-byte code page
// (932 and the other East Asian ones) the second byte of a character may be that of "\" (表 is
// 0x95 0x5C), so which byte is a separator depends on the code page the path is written in.
#pragma once

#include <cstddef>
#include <string>

// Which bytes begin a double-byte character; the next byte then belongs to the same character.
struct LeadBytes {
  bool isLead[256];
};

// The lead bytes of a Windows code page: 932, 936, 949 and 950 have them; single-byte code pages
// and UTF-8 (65001), whose continuation bytes are never ASCII, have none.
LeadBytes leadBytesOfCodePage(unsigned codePage);

// Position of the last byte of path that is one of separators and a character of its own;
// std::string::npos when there is none.
size_t lastPathSeparator(const std::string& path, const char* separators, const LeadBytes& leadBytes);
