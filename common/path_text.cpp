#include "common/path_text.h"

std::string fileNamePart(const std::string& path, const char* separators) {
  size_t cut = path.find_last_of(separators);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string folderPart(const std::string& path, const char* separators) {
  size_t cut = path.find_last_of(separators);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}
