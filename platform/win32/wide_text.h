// Text at the Windows boundary: inside the programs every text and path is UTF-8; every Windows
// call that takes or gives text is the wide (UTF-16) one, converted right at the call. So texts
// read right and paths name the right file whatever the system's code page.
#pragma once

#include <windows.h>

#include <string>

// UTF-8 to UTF-16 and back; bytes that are not UTF-8 (and lone surrogates) become U+FFFD.
// Memory exhaustion throws std::bad_alloc, which the programs' flows take to their memory path.
std::wstring wideText(const char* utf8);
std::string utf8Text(const wchar_t* utf16, size_t length);
std::string utf8Text(const wchar_t* utf16);

// A path as the wide file functions take it whole: from MAX_PATH characters on, its full form
// with the "\\?\" prefix ("\\?\UNC\" for a share), which lifts the limit of 259 characters; a
// shorter path as it is, converted without memory of its own (so that a save can still clean up
// when memory has run out).
struct WidePath {
  const wchar_t* text;
  wchar_t shortText[MAX_PATH];
  std::wstring longText;
};
// False when memory for a long path ran out.
bool widePath(const char* utf8, WidePath* path) noexcept;
// The other way: a path without the "\\?\" prefix ("\\?\UNC\server\share" is
// "\\server\share"), the form the shell and people read; other paths as they are.
std::wstring unprefixedPath(std::wstring path);

// The text in a Windows code page (what the programs' error stream has always carried); the
// UTF-8 bytes where the system lacks that code page.
std::string codePageText(const char* utf8, unsigned codePage);
