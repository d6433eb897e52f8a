// plotvane-cli dxf: the viewer's save without its dialog.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"
#include "cli/cli_support.h"
#include "viewer/dxf_writer.h"
#include "viewer/output_name.h"
#include "viewer/point_table.h"

int runDxfCommand(int argc, char** argv) {
  std::string method = "face";
  const char* input = nullptr;
  const char* output = nullptr;
  for (int a = 0; a < argc; ++a) {
    if (std::strcmp(argv[a], "--method") == 0 && a + 1 < argc) {
      method = argv[++a];
    } else if (std::strncmp(argv[a], "--method=", 9) == 0) {
      method = argv[a] + 9;
    } else if (argv[a][0] == '-' && argv[a][1] == '-') {
      return cliUsageError(std::string("unknown option ") + argv[a]);
    } else if (!input) {
      input = argv[a];
    } else if (!output) {
      output = argv[a];
    } else {
      return cliUsageError("too many arguments");
    }
  }
  if (!input) return cliUsageError("dxf needs an INPUT.csv");
  DxfMethod chosen{};
  if (method == "2d") chosen.twoD = true;
  else if (method == "line") chosen.line = true;
  else if (method == "mesh") chosen.mesh = true;
  else if (method == "face") chosen.face = true;
  else return cliUsageError("--method takes 2d, line, mesh or face, not '" + method + "'");

  std::string outputPath = output ? output : cliSiblingPath(input, outputName(cliFileNamePart(input)));

  PointTable table{};
  Extents extents{};
  if (!cliReadTable(input, chosen.twoD, &table, &extents)) return 1;
  std::string error;
  bool saved = saveDxfFile(outputPath.c_str(), table, chosen, &error);
  releaseTable(&table);
  if (!saved) {
    std::fprintf(stderr, "plotvane-cli: cannot write %s: %s\n", outputPath.c_str(), error.c_str());
    return 1;
  }
  return 0;
}
