// plotvane-cli preview: the viewer's drawing without its dialog, as the list of canvas
// operations or as a picture of the dialog's client area.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "picture/png_writer.h"
#include "picture/raster.h"
#include "platform/canvas_list/canvas_list.h"
#include "platform/output_file.h"
#include "viewer/point_table.h"
#include "viewer/preview.h"

namespace {

// The viewer's dialog at 96 DPI, estimated rather than measured. Its template is 250 x 135
// dialog units in MS PGothic 9 pt: a 12-pixel font whose alphabet is taken to average 6 pixels a
// character, so the dialog base units are 6 across and 12 down (a unit is base/4 pixels across
// and base/8 down, rounded as MulDiv rounds). The left panel (control 100) is 84 x 121 units at
// the origin. With these the panel is 126 x 182 pixels and the client area 375 x 203, giving
// the preview area left 127, width 247, height 181. Replace them once the real dialog is measured.
struct DialogMetrics {
  int baseUnitX;
  int baseUnitY;
  int dialogUnitsWide;
  int dialogUnitsHigh;
  int panelUnitsWide;
  int panelUnitsHigh;
};
constexpr DialogMetrics kDialogAt96Dpi{6, 12, 250, 135, 84, 121};

// Area values beyond this are refused: no dialog comes near it, and pictures stay allocatable.
constexpr int kMaxAreaValue = 32767;

// Dialog units to pixels, rounding half away from zero.
int dialogUnitsToPixels(int units, int baseUnit, int divisor) {
  return (2 * units * baseUnit + divisor) / (2 * divisor);
}

struct ClientSize {
  int width;
  int height;
};

ClientSize defaultDialogClient() {
  return {dialogUnitsToPixels(kDialogAt96Dpi.dialogUnitsWide, kDialogAt96Dpi.baseUnitX, 4),
          dialogUnitsToPixels(kDialogAt96Dpi.dialogUnitsHigh, kDialogAt96Dpi.baseUnitY, 8)};
}

ClientSize defaultPanelClient() {
  return {dialogUnitsToPixels(kDialogAt96Dpi.panelUnitsWide, kDialogAt96Dpi.baseUnitX, 4),
          dialogUnitsToPixels(kDialogAt96Dpi.panelUnitsHigh, kDialogAt96Dpi.baseUnitY, 8)};
}

// The client area that holds a given preview area: it ends on the frame's right column, as in
// the dialog, and keeps the dialog's strip below the panel, where points beyond the frame's
// bottom edge can still show.
ClientSize clientForArea(const PreviewArea& area) {
  int strip = defaultDialogClient().height - defaultPanelClient().height;
  return {area.left + area.width + 1, area.height + 1 + strip};
}

bool parseArea(const char* text, PreviewArea* area) {
  long values[3];
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
      value = value * 10 + (*p++ - '0');
      if (value > kMaxAreaValue) return false;
    }
    values[i] = value;
    if (i < 2 && *p++ != ',') return false;
  }
  if (*p != '\0') return false;
  *area = PreviewArea{static_cast<int32_t>(values[0]), static_cast<int32_t>(values[1]), static_cast<int32_t>(values[2])};
  return true;
}

bool endsWithNoCase(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
  return true;
}

void printOps(const std::vector<CanvasOp>& ops) {
  std::string text;
  char line[64];
  for (const CanvasOp& op : ops) {
    int n = 0;
    switch (op.kind) {
      case CanvasOp::frame: n = std::snprintf(line, sizeof line, "frame %d %d %d %d\n", op.a, op.b, op.c, op.d); break;
      case CanvasOp::moveTo: n = std::snprintf(line, sizeof line, "move %d %d\n", op.a, op.b); break;
      case CanvasOp::lineTo: n = std::snprintf(line, sizeof line, "line %d %d\n", op.a, op.b); break;
    }
    text.append(line, static_cast<size_t>(n));
    if (text.size() >= (1u << 16)) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      text.clear();
    }
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

bool writeFile(const std::string& path, const std::string& bytes) {
  IoResult result;
  OutputFile* file = outputFileCreate(path.c_str(), &result);
  if (file) {
    // A failed write dooms the file: the commit then fails with the system's error.
    outputFileWrite(file, bytes.data(), bytes.size());
    result = outputFileCommit(file);
    if (result.kind == IoResult::ok) return true;
  }
  cliFileError("write", path, result);
  return false;
}

// The dialog's client area to paint, and the preview area within it: the given one, or the
// estimated dialog's.
ClientSize clientAndArea(const char* areaText, PreviewArea* area) {
  if (areaText) return clientForArea(*area);
  ClientSize panel = defaultPanelClient();
  ClientSize client = defaultDialogClient();
  *area = computePreviewArea(panel.width, panel.height, client.width);
  return client;
}

// The picture of the client area, as a .png or .ppm file.
int writePicture(const std::vector<CanvasOp>& ops, ClientSize client, const std::string& path) {
  Raster raster;
  if (!rasterInit(&raster, client.width, client.height, kDialogFace)) {
    cliError("a " + std::to_string(client.width) + " x " + std::to_string(client.height) + " picture is too large");
    return 1;
  }
  rasterReplay(&raster, ops);
  std::string bytes;
  if (endsWithNoCase(path, ".png"))
    encodePng(raster, &bytes);
  else
    encodePpm(raster, &bytes);
  return writeFile(path, bytes) ? 0 : 1;
}

}  // namespace

int runPreviewCommand(int argc, char** argv) {
  bool twoD = false;
  const char* areaText = nullptr;
  const char* paths[2] = {};
  const CliOption options[] = {
      {"--2d", nullptr, &twoD, true}, {"--3d", nullptr, &twoD, false}, {"--area", &areaText, nullptr, false}};
  if (!cliReadArguments(argc, argv, options, std::size(options), paths, 2)) return 1;
  PreviewArea area{};
  if (areaText && !parseArea(areaText, &area))
    return cliUsageError(std::string("--area takes LEFT,WIDTH,HEIGHT, whole numbers 0 to ") +
                         std::to_string(kMaxAreaValue) + ", not '" + areaText + "'");
  if (!paths[0] || !paths[1]) return cliUsageError("preview needs INPUT.csv and OUTPUT (.png, .ppm or -)");
  std::string output = paths[1];
  bool toStdout = output == "-";
  if (!toStdout && !endsWithNoCase(output, ".png") && !endsWithNoCase(output, ".ppm"))
    return cliUsageError("OUTPUT must end in .png or .ppm, or be -");
  ClientSize client = clientAndArea(areaText, &area);

  PointTable table{};
  Extents extents{};
  if (!cliReadTable(paths[0], twoD, &table, &extents)) return 1;
  Canvas canvas;
  if (twoD)
    drawPreview2D(&canvas, area, table, extents);
  else
    drawPreview3D(&canvas, area, table, extents);
  releaseTable(&table);
  if (!toStdout) return writePicture(canvas.ops, client, output);
  printOps(canvas.ops);
  return 0;
}
