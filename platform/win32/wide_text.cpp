#include "platform/win32/wide_text.h"

#include <cstring>
#include <new>

std::wstring wideText(const char* utf8) {
  int length = static_cast<int>(std::strlen(utf8));
  if (length == 0) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8, length, nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, length, text.data(), size);
  return text;
}

std::string utf8Text(const wchar_t* utf16, size_t length) {
  if (length == 0) return {};
  int wideLength = static_cast<int>(length);
  int size = WideCharToMultiByte(CP_UTF8, 0, utf16, wideLength, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16, wideLength, text.data(), size, nullptr, nullptr);
  return text;
}

std::string utf8Text(const wchar_t* utf16) { return utf8Text(utf16, wcslen(utf16)); }

namespace {

bool startsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

bool widePath(const char* utf8, WidePath* path) noexcept {
  path->text = path->shortText;
  int length = static_cast<int>(std::strlen(utf8));
  if (MultiByteToWideChar(CP_UTF8, 0, utf8, length + 1, path->shortText, MAX_PATH) > 0) {
    // Forms the functions already take whole: a "\\?\" path, a device.
    if (wcsncmp(path->shortText, L"\\\\?\\", 4) == 0 || wcsncmp(path->shortText, L"\\\\.\\", 4) == 0) return true;
    // The limit is on the full path: a short relative name in a deep folder reaches it too.
    DWORD size = GetFullPathNameW(path->shortText, 0, nullptr, nullptr);  // counts the final zero
    if (size == 0 || size <= MAX_PATH) return true;
  }
  try {
    std::wstring given = wideText(utf8);
    if (startsWith(given, L"\\\\?\\") || startsWith(given, L"\\\\.\\")) {
      path->longText = given;
    } else {
      DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
      std::wstring full(size, L'\0');
      DWORD length = size ? GetFullPathNameW(given.c_str(), size, full.data(), nullptr) : 0;
      full.resize(length < size ? length : 0);
      if (full.empty()) {
        path->longText = given;  // the folder changed meanwhile: as given
      } else if (startsWith(full, L"\\\\")) {
        path->longText = L"\\\\?\\UNC\\" + full.substr(2);
      } else {
        path->longText = L"\\\\?\\" + full;
      }
    }
    path->text = path->longText.c_str();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::wstring unprefixedPath(std::wstring path) {
  if (startsWith(path, L"\\\\?\\UNC\\")) {
    path.replace(0, 8, L"\\\\");
  } else if (startsWith(path, L"\\\\?\\")) {
    path.erase(0, 4);
  }
  return path;
}

std::string codePageText(const char* utf8, unsigned codePage) {
  std::wstring wide = wideText(utf8);
  if (wide.empty()) return {};
  int wideLength = static_cast<int>(wide.size());
  int size = WideCharToMultiByte(codePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (size == 0) return utf8;
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), wideLength, text.data(), size, nullptr, nullptr);
  return text;
}
