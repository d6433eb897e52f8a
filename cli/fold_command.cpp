// plotvane-cli fold: gridfold's check and conversion without its dialogs and message boxes.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/text_input.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "platform/output_file.h"

namespace {

void reportBadLine(const char* path, int64_t checkResult, const XyzListShape& shape) {
  long long line = static_cast<long long>(1 - checkResult);
  if (shape.badLineCommas < 0) {
    std::fprintf(stderr, "plotvane-cli: %s: line %lld: no line end; the list needs at least one line X,Y,Z\n",
                 path, line);
  } else {
    long long commas = static_cast<long long>(shape.badLineCommas);
    std::fprintf(stderr, "plotvane-cli: %s: line %lld: %lld comma%s where X,Y,Z needs exactly 2\n", path, line,
                 commas, commas == 1 ? "" : "s");
  }
}

int readFailure(const char* path, int code) {
  std::fprintf(stderr, "plotvane-cli: cannot read %s: %s\n", path, std::strerror(code ? code : EIO));
  return 1;
}

}  // namespace

int runFoldCommand(int argc, char** argv) {
  const char* input = nullptr;
  const char* output = nullptr;
  for (int a = 0; a < argc; ++a) {
    if (argv[a][0] == '-' && argv[a][1] == '-') return cliUsageError(std::string("unknown option ") + argv[a]);
    if (!input) input = argv[a];
    else if (!output) output = argv[a];
    else return cliUsageError("too many arguments");
  }
  if (!input || !output) return cliUsageError("fold needs INPUT.xyz and OUTPUT.csv");

  TextInput in;
  if (!textInputOpen(&in, input)) return readFailure(input, errno);
  XyzListShape shape;
  int64_t checkResult = validateXyzList(&in, &shape);
  if (in.failed) {
    int code = errno;
    textInputClose(&in);
    return readFailure(input, code);
  }
  if (checkResult <= 0) {
    textInputClose(&in);
    reportBadLine(input, checkResult, shape);
    return 1;
  }

  std::string error;
  OutputFile* file = outputFileCreate(output, &error);
  if (!file) {
    textInputClose(&in);
    std::fprintf(stderr, "plotvane-cli: cannot write %s: %s\n", output, error.c_str());
    return 1;
  }
  TextOutput out;
  FoldResult result = FoldResult::outOfMemory;
  if (textOutputBegin(&out, drainToOutputFile, file)) {
    result = foldXyzList(&in, shape.pointCapacity, &out);
    // A block that failed to drain has doomed the file: the commit reports its error.
    textOutputEnd(&out);
  }
  bool readFailed = in.failed;
  int readErrno = errno;
  textInputClose(&in);
  if (result != FoldResult::ok || readFailed) {
    outputFileDiscard(file);
    if (readFailed) return readFailure(input, readErrno);
    std::fprintf(stderr, "plotvane-cli: cannot convert %s: %s\n", input, std::strerror(ENOMEM));
    return 1;
  }
  if (!outputFileCommit(file, &error)) {
    std::fprintf(stderr, "plotvane-cli: cannot write %s: %s\n", output, error.c_str());
    return 1;
  }
  return 0;
}
