// The two system calls a save's replace on Windows is made of, so that a test can play each
// outcome their documentation gives (ReplaceFile failing with the old file moved aside, a share
// that refuses part of the swap, ...). The programs never change them.
#pragma once

#include <windows.h>

struct ReplaceCalls {
  BOOL(WINAPI* replaceFile)(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID);
  BOOL(WINAPI* moveFile)(LPCWSTR from, LPCWSTR to, DWORD flags);
};
extern ReplaceCalls gReplaceCalls;  // ReplaceFileW and MoveFileExW
