#include "viewer/output_name.h"

#include "common/path_text.h"

std::string fileNamePart(const std::string& path) {
  size_t slash = lastPathSeparator(path, "\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string outputName(const std::string& path) {
  std::string name = fileNamePart(path);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name + ".dxf";
}
