#include "cli/cli_support.h"

#include <cstdio>
#include <cstring>

#include "common/path_text.h"
#include "platform/console.h"
#include "platform/file_system.h"

namespace {

// Applies the option arg names, taking its value from the next argument where needed. False
// after the usage error.
bool readOption(const CliOption* options, size_t optionCount, int argc, char** argv, int* a) {
  const char* arg = argv[*a];
  for (size_t k = 0; k < optionCount; ++k) {
    const CliOption& option = options[k];
    size_t length = std::strlen(option.name);
    if (std::strncmp(arg, option.name, length) != 0) continue;
    if (!option.value && arg[length] == '\0') {
      *option.on = option.setTo;
      return true;
    }
    if (option.value && arg[length] == '=') {
      *option.value = arg + length + 1;
      return true;
    }
    if (option.value && arg[length] == '\0') {
      if (*a + 1 >= argc) {
        cliUsageError(std::string(option.name) + " needs a value");
        return false;
      }
      *option.value = argv[++*a];
      return true;
    }
  }
  cliUsageError(std::string("unknown option ") + arg);
  return false;
}

}  // namespace

void cliError(const std::string& message) { consoleWriteError("plotvane-cli: " + message + "\n"); }

int cliFileError(const char* verb, const std::string& path, int error) {
  cliError(std::string("cannot ") + verb + " " + path + ": " + systemErrorText(error));
  return 1;
}

int cliFileError(const char* verb, const std::string& path, IoResult result) {
  return cliFileError(verb, path, result.kind == IoResult::outOfMemory ? kSystemOutOfMemory : result.error);
}

bool cliReadArguments(int argc, char** argv, const CliOption* options, size_t optionCount,
                      const char** positionals, int maxPositionals) {
  int given = 0;
  for (int a = 0; a < argc; ++a) {
    if (std::strncmp(argv[a], "--", 2) == 0) {
      if (!readOption(options, optionCount, argc, argv, &a)) return false;
    } else if (given == maxPositionals) {
      cliUsageError("too many arguments");
      return false;
    } else {
      positionals[given++] = argv[a];
    }
  }
  return true;
}

int cliUsageError(const std::string& message) {
  cliError(message + " (try --help)");
  return 1;
}

bool cliReadTable(const char* path, bool twoRow, PointTable* table, Extents* extents) {
  IoResult read = readTableFile(path, twoRow ? Dimension::twoD : Dimension::threeD, table, extents);
  if (read.kind != IoResult::ok) cliFileError("read", path, read);
  return read.kind == IoResult::ok;
}
