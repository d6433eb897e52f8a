#include "viewer/output_name.h"

#include "common/path_text.h"
#include "platform/file_system.h"

std::string outputName(const std::string& path) {
  std::string name = fileNamePart(path, directorySeparators());
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name + ".dxf";
}
