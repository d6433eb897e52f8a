// plotvane-cli fold: gridfold's check and conversion without its dialogs and message boxes.
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

int reportBadLine(const char* path, int64_t checkResult, const XyzListShape& shape) {
  long long line = static_cast<long long>(1 - checkResult);
  if (shape.badLineCommas < 0) {
    std::fprintf(stderr, "plotvane-cli: %s: line %lld: no line end; the list needs at least one line X,Y,Z\n",
                 path, line);
  } else {
    long long commas = static_cast<long long>(shape.badLineCommas);
    std::fprintf(stderr, "plotvane-cli: %s: line %lld: %lld comma%s where X,Y,Z needs exactly 2\n", path, line,
                 commas, commas == 1 ? "" : "s");
  }
  return 1;
}

int failure(const char* what, const char* path, int error) {
  std::fprintf(stderr, "plotvane-cli: cannot %s %s: %s\n", what, path, std::strerror(error));
  return 1;
}

// Scan, sort and write into the created output, then commit it; the input is closed.
int foldInto(TextInput* in, const XyzListShape& shape, OutputFile* file, const char* input, const char* output) {
  TextOutput out;
  FoldResult result = FoldResult::outOfMemory;
  if (textOutputBegin(&out, drainToOutputFile, file)) {
    result = foldXyzList(in, shape, &out);
    // A block that failed to drain has doomed the file: the commit reports its error.
    textOutputEnd(&out);
  }
  int readError = in->error;
  textInputClose(in);
  if (result != FoldResult::ok || readError != 0) {
    outputFileDiscard(file);
    return readError != 0 ? failure("read", input, readError) : failure("convert", input, ENOMEM);
  }
  IoResult committed = outputFileCommit(file);
  return committed.kind == IoResult::ok ? 0 : failure("write", output, committed.error);
}

}  // namespace

int runFoldCommand(int argc, char** argv) {
  const char* paths[2] = {};
  if (!cliReadArguments(argc, argv, nullptr, 0, paths, 2)) return 1;
  const char* input = paths[0];
  const char* output = paths[1];
  if (!input || !output) return cliUsageError("fold needs INPUT.xyz and OUTPUT.csv");

  TextInput in;
  IoResult opened = textInputOpen(&in, input);
  if (opened.kind != IoResult::ok) return failure("read", input, opened.error);
  XyzListShape shape;
  int64_t checkResult = validateXyzList(&in, &shape);
  if (in.error != 0 || checkResult <= 0) {
    int readError = in.error;
    textInputClose(&in);
    return readError != 0 ? failure("read", input, readError) : reportBadLine(input, checkResult, shape);
  }
  IoResult created;
  OutputFile* file = outputFileCreate(output, &created);
  if (!file) {
    textInputClose(&in);
    return failure("write", output, created.error);
  }
  return foldInto(&in, shape, file, input, output);
}
