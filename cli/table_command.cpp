// plotvane-cli table: the point table as the reader leaves it, for checks by other programs.
#include <charconv>
#include <cstdio>
#include <iterator>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "viewer/point_table.h"

namespace {

// Shortest text that reads back as the same double ("inf", "-inf", "nan" included), so a
// reader of this output gets the table's exact values and can round them its own way.
void putCell(std::string* line, double value) {
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  line->append(text, result.ptr);
}

}  // namespace

int runTableCommand(int argc, char** argv) {
  bool twoRow = false;
  const char* paths[1] = {};
  const CliOption options[] = {{"--2d", nullptr, &twoRow, true}, {"--3d", nullptr, &twoRow, false}};
  if (!cliReadArguments(argc, argv, options, std::size(options), paths, 1)) return 1;
  if (!paths[0]) return cliUsageError("table needs an INPUT.csv");

  PointTable table{};
  Extents extents{};
  if (!cliReadTable(paths[0], twoRow, &table, &extents)) return 1;
  if (!table.rows) {
    std::fputs("empty\n", stdout);
    return 0;
  }
  std::printf("%d %d\n", table.lastColumnIndex, table.lastRowIndex);
  const int32_t lastRow = twoRow ? 1 : table.lastRowIndex;
  std::string line;
  for (int32_t r = 0; r <= lastRow; ++r) {
    line.clear();
    for (int32_t c = 0; c <= table.lastColumnIndex; ++c) {
      if (c) line += ',';
      putCell(&line, table.rows[r][c]);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  releaseTable(&table);
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
