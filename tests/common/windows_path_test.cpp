// The pair of functions at the Windows boundary: widePath gives a path of MAX_PATH characters or
// more in its "\\?\" form, which the file functions take whole but never resolve, so it is the
// full path with "." and ".." gone and "/" as "\"; unprefixedPath takes that form back.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace {

std::wstring fullPathOf(const wchar_t* path) {
  wchar_t full[MAX_PATH];
  DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  return std::wstring(full, length);
}

TEST(WindowsPaths, LongPathsTakeTheirPrefixedFormAndComeBack) {
  auto name = [](size_t length) { return std::string(length, 'n'); };
  auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
  std::wstring driveFolder = fullPathOf(L"C:");  // where C:name lies: C:'s current folder
  if (driveFolder.back() != L'\\') driveFolder += L'\\';
  struct Case {
    const char* what;
    std::string path;
    std::wstring given;  // what the file functions get
    std::wstring back;   // what unprefixedPath makes of it
  } cases[] = {
      {"259 characters", "C:\\" + name(256), wide("C:\\" + name(256)), wide("C:\\" + name(256))},
      {"260 characters", "C:\\" + name(257), L"\\\\?\\C:\\" + wide(name(257)), wide("C:\\" + name(257))},
      {"261 characters", "C:\\" + name(258), L"\\\\?\\C:\\" + wide(name(258)), wide("C:\\" + name(258))},
      {"a share", "\\\\server\\share\\" + name(300), L"\\\\?\\UNC\\server\\share\\" + wide(name(300)),
       L"\\\\server\\share\\" + wide(name(300))},
      {"drive-relative", "C:" + name(300), L"\\\\?\\" + driveFolder + wide(name(300)), driveFolder + wide(name(300))},
      {"dot parts", "C:\\a\\..\\b\\.\\" + name(300), L"\\\\?\\C:\\b\\" + wide(name(300)), L"C:\\b\\" + wide(name(300))},
      {"forward slashes", "C:/b/" + name(300), L"\\\\?\\C:\\b\\" + wide(name(300)), L"C:\\b\\" + wide(name(300))},
      {"a short share", "\\\\server\\share\\x", L"\\\\server\\share\\x", L"\\\\server\\share\\x"},
      {"prefixed already", "\\\\?\\C:\\x", L"\\\\?\\C:\\x", L"C:\\x"},
      {"a share prefixed already", "\\\\?\\UNC\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x"},
  };
  for (const Case& c : cases) {
    WidePath path;
    ASSERT_TRUE(widePath(c.path.c_str(), &path)) << c.what;
    EXPECT_EQ(std::wstring(path.text), c.given) << c.what;
    EXPECT_EQ(unprefixedPath(path.text), c.back) << c.what;
  }
}

}  // namespace
#endif
