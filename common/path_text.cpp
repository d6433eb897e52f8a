#include "common/path_text.h"

size_t lastPathSeparator(const std::string& path, const char* separators) {
  return path.find_last_of(separators);
}
