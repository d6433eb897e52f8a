// plotvane-cli fold: gridfold's check and conversion without its dialogs and message boxes.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/numbers.h"
#include "common/text_input.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "platform/file_system.h"
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

std::string fixedText(double value) {
  char text[kFixedTextMax];
  return std::string(text, formatFixed6(value, text));
}

// The first row that is not the first row's X values once each.
int reportNotGrid(const char* path, const GridMismatch& m) {
  std::string row = std::string(path) + ": the row at Y=" + fixedText(m.rowY);
  switch (m.kind) {
    case GridMismatch::repeatedX: row += " holds X=" + fixedText(m.x) + " more than once"; break;
    case GridMismatch::pointCount:
      row += " holds " + std::to_string(m.rowPoints) + (m.rowPoints == 1 ? " point" : " points") + " where the first row holds " +
             std::to_string(m.firstRowPoints);
      break;
    default: row += " has X=" + fixedText(m.x) + " where the first row has X=" + fixedText(m.firstRowX); break;
  }
  cliError(row + ": not a grid (every row needs the X values of the first)");
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
  if (opened.kind != IoResult::ok) return cliFileError("read", input, opened);
  XyzListShape shape;
  int64_t checkResult = validateXyzList(&in, &shape);
  if (shape.readError != 0 || checkResult <= 0) {
    textInputClose(&in);
    return shape.readError != 0 ? cliFileError("read", input, shape.readError) : reportBadLine(input, checkResult, shape);
  }
  XyzGrid grid;
  GridLoad load = loadXyzGrid(&in, shape, &grid);
  textInputClose(&in);
  switch (load.end) {
    case GridLoad::done: break;
    case GridLoad::readFailed: return cliFileError("read", input, load.error);
    case GridLoad::notGrid: return reportNotGrid(input, load.mismatch);
    case GridLoad::outOfMemory: return cliFileError("convert", input, kSystemOutOfMemory);
  }
  IoResult created;
  OutputFile* file = outputFileCreate(output, &created);
  if (!file) {
    releaseXyzGrid(&grid);
    return cliFileError("write", output, created);
  }
  IoResult written = writeGridIntoFile(grid, file);
  releaseXyzGrid(&grid);
  if (written.kind == IoResult::ok) return 0;
  return written.kind == IoResult::failed ? cliFileError("write", output, written) : cliFileError("convert", input, kSystemOutOfMemory);
}
