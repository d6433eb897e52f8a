#include "cli/cli_support.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int cliUsageError(const std::string& message) {
  std::fprintf(stderr, "plotvane-cli: %s (try --help)\n", message.c_str());
  return 1;
}

std::string cliFileNamePart(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string cliSiblingPath(const std::string& path, const std::string& name) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? name : path.substr(0, cut + 1) + name;
}

bool cliReadTable(const char* path, bool twoRow, PointTable* table, Extents* extents) {
  TextInput in;
  if (!textInputOpen(&in, path)) {
    std::fprintf(stderr, "plotvane-cli: cannot read %s: %s\n", path, std::strerror(errno));
    return false;
  }
  ReadResult result = twoRow ? readTwoRowFile(&in, table, extents) : readGridFile(&in, table, extents);
  bool failed = in.failed;
  int readErrno = errno;
  textInputClose(&in);
  if (result == ReadResult::outOfMemory) {
    std::fprintf(stderr, "plotvane-cli: cannot read %s: %s\n", path, std::strerror(ENOMEM));
    return false;
  }
  if (failed) {
    releaseTable(table);
    std::fprintf(stderr, "plotvane-cli: cannot read %s: %s\n", path, std::strerror(readErrno ? readErrno : EIO));
    return false;
  }
  return true;
}
