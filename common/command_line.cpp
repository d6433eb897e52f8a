#include "common/command_line.h"

#include <cstring>

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

const char* commandLineTail(const char* p) {
  while (isBlank(*p)) ++p;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"' && *p != '\t') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && !isBlank(*p)) ++p;
  }
  while (isBlank(*p)) ++p;
  return p;
}

std::string pathFromTail(const char* tail) {
  size_t length = std::strlen(tail);
  if (length >= 2 && tail[0] == '"') {
    if (const char* close = std::strchr(tail + 1, '"')) {
      size_t closeAt = static_cast<size_t>(close - tail);
      size_t rest = closeAt + 1;
      while (rest < length && isBlank(tail[rest])) ++rest;
      if (closeAt > 1 && rest == length) return std::string(tail + 1, closeAt - 1);
    }
  }
  return std::string(tail, length);
}
