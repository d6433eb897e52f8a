// plotvane-cli: the viewer's conversion, preview and the converter's fold, from a terminal.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/extended_precision.h"
#include "platform/console.h"

namespace {

const char kUsage[] =
    "usage: plotvane-cli dxf [--method 2d|line|mesh|face] INPUT.csv [OUTPUT.dxf]\n"
    "       plotvane-cli preview [--2d|--3d] [--area LEFT,WIDTH,HEIGHT] INPUT.csv OUTPUT\n"
    "       plotvane-cli fold INPUT.xyz OUTPUT.csv\n"
    "       plotvane-cli table [--2d|--3d] INPUT.csv\n"
    "       plotvane-cli --help\n"
    "\n"
    "dxf      reads INPUT as a two-row file (--method 2d) or a grid file (line, mesh, face;\n"
    "         default face) and writes the DXF document; OUTPUT defaults to INPUT's name with\n"
    "         its last extension replaced by .dxf, in INPUT's folder.\n"
    "preview  draws the preview of INPUT (a grid file with --3d, the default; a two-row file\n"
    "         with --2d) into OUTPUT, a .png or .ppm picture of the dialog's client area, or\n"
    "         prints the canvas operations when OUTPUT is -.\n"
    "fold     checks an X,Y,Z list, sorts it into the grid layout and writes it to OUTPUT.\n"
    "table    reads INPUT as a grid file (--3d, the default) or a two-row file (--2d) and\n"
    "         prints the point table: a line \"LAST_COLUMN LAST_ROW\" (the indexes the\n"
    "         reader set), then the table's rows (two for --2d) with the cells of columns\n"
    "         0 .. LAST_COLUMN, each the shortest text that reads back as the same double;\n"
    "         \"empty\" when the file gave no table.\n";

}  // namespace

int main(int argc, char** argvGiven) {
  useExtendedPrecision();  // the preview and the tables are computed as the viewer computes them
  std::vector<std::string> arguments = consoleArguments(argc, argvGiven);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  argc = static_cast<int>(arguments.size());
  char** argv = pointers.data();
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 1 : 0;
  }
  if (std::strcmp(argv[1], "dxf") == 0) return runDxfCommand(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "preview") == 0) return runPreviewCommand(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "fold") == 0) return runFoldCommand(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "table") == 0) return runTableCommand(argc - 2, argv + 2);
  return cliUsageError(std::string("unknown command '") + argv[1] + "'");
}
