// plotvane-cli fold: gridfold's check and conversion without its dialogs and message boxes.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/text_input.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "platform/input_file.h"
#include "platform/output_file.h"

namespace {

int reportBadLine(const char* path, int64_t checkResult, const XyzListShape& shape) {
  std::string where = std::string(path) + ": line " + std::to_string(1 - checkResult) + ": ";
  if (shape.badLineCommas < 0) {
    cliError(where + "no line end; the list needs at least one line X,Y,Z");
  } else {
    int64_t commas = shape.badLineCommas;
    cliError(where + std::to_string(commas) + (commas == 1 ? " comma" : " commas") + " where X,Y,Z needs exactly 2");
  }
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
    return readError != 0 ? cliFileError("read", input, readError) : cliFileError("convert", input, ENOMEM);
  }
  IoResult committed = outputFileCommit(file);
  return committed.kind == IoResult::ok ? 0 : cliFileError("write", output, committed.error);
}

}  // namespace

int runFoldCommand(int argc, char** argv) {
  const char* paths[2] = {};
  if (!cliReadArguments(argc, argv, nullptr, 0, paths, 2)) return 1;
  const char* input = paths[0];
  const char* output = paths[1];
  if (!input || !output) return cliUsageError("fold needs INPUT.xyz and OUTPUT.csv");

  TextInput in;
  IoResult opened = inputFileOpen(&in, input);
  if (opened.kind != IoResult::ok) return cliFileError("read", input, opened.error);
  XyzListShape shape;
  int64_t checkResult = validateXyzList(&in, &shape);
  if (in.error != 0 || checkResult <= 0) {
    int readError = in.error;
    textInputClose(&in);
    return readError != 0 ? cliFileError("read", input, readError) : reportBadLine(input, checkResult, shape);
  }
  IoResult created;
  OutputFile* file = outputFileCreate(output, &created);
  if (!file) {
    textInputClose(&in);
    return cliFileError("write", output, created.error);
  }
  return foldInto(&in, shape, file, input, output);
}
