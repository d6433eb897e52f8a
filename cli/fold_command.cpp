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
  std::string where = std::string(path) + ": line " + std::to_string(badLineNumber(checkResult)) + ": ";
  if (shape.badLineCommas < 0) {
    cliError(where + "no line end; the list needs at least one line X,Y,Z");
  } else {
    int64_t commas = shape.badLineCommas;
    cliError(where + std::to_string(commas) + (commas == 1 ? " comma" : " commas") + " where X,Y,Z needs exactly 2");
  }
  return 1;
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
  if (shape.readError != 0 || checkResult <= 0) {
    textInputClose(&in);
    return shape.readError != 0 ? cliFileError("read", input, shape.readError) : reportBadLine(input, checkResult, shape);
  }
  IoResult created;
  OutputFile* file = outputFileCreate(output, &created);
  if (!file) {
    textInputClose(&in);
    return cliFileError("write", output, created.error);
  }
  FoldFileResult folded = foldIntoFile(&in, shape, file);
  switch (folded.end) {
    case FoldFileResult::done: return 0;
    case FoldFileResult::readFailed: return cliFileError("read", input, folded.error);
    case FoldFileResult::writeFailed: return cliFileError("write", output, folded.error);
    case FoldFileResult::outOfMemory: break;
  }
  return cliFileError("convert", input, ENOMEM);
}
