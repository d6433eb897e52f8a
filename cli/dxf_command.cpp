// plotvane-cli dxf: the viewer's save without its dialog.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/path_text.h"
#include "platform/file_system.h"
#include "viewer/dxf_writer.h"
#include "viewer/output_name.h"
#include "viewer/point_table.h"

namespace {

bool methodNamed(const char* name, DxfMethod* method) {
  *method = DxfMethod{};
  if (std::strcmp(name, "2d") == 0) method->twoD = true;
  else if (std::strcmp(name, "line") == 0) method->line = true;
  else if (std::strcmp(name, "mesh") == 0) method->mesh = true;
  else if (std::strcmp(name, "face") == 0) method->face = true;
  else return false;
  return true;
}

}  // namespace

int runDxfCommand(int argc, char** argv) {
  const char* methodName = "face";
  const char* paths[2] = {};
  const CliOption options[] = {{"--method", &methodName, nullptr, false}};
  if (!cliReadArguments(argc, argv, options, std::size(options), paths, 2)) return 1;
  const char* input = paths[0];
  if (!input) return cliUsageError("dxf needs an INPUT.csv");
  DxfMethod method;
  if (!methodNamed(methodName, &method))
    return cliUsageError(std::string("--method takes 2d, line, mesh or face, not '") + methodName + "'");
  std::string outputPath =
      paths[1] ? paths[1] : folderPart(input, directorySeparators()) + outputName(input);

  PointTable table{};
  Extents extents{};
  if (!cliReadTable(input, method.twoD, &table, &extents)) return 1;
  IoResult saved = saveDxfFile(outputPath.c_str(), table, method);
  releaseTable(&table);
  return saved.kind == IoResult::ok ? 0 : cliFileError("write", outputPath, saved);
}
