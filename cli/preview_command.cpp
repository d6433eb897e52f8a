// plotvane-cli preview: the viewer's drawing without its dialog, as the list of canvas
// operations or as a picture of the dialog's client area.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/png_writer.h"
#include "cli/raster.h"
#include "platform/output_file.h"
#include "platform/recording/recording.h"
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
  std::string error;
  OutputFile* file = outputFileCreate(path.c_str(), &error);
  if (file) {
    // A failed write dooms the file: the commit then fails with the system's message.
    bool written = outputFileWrite(file, bytes.data(), bytes.size());
    if (outputFileCommit(file, &error) && written) return true;
  }
  std::fprintf(stderr, "plotvane-cli: cannot write %s: %s\n", path.c_str(), error.c_str());
  return false;
}

}  // namespace

int runPreviewCommand(int argc, char** argv) {
  bool twoD = false;
  bool haveArea = false;
  PreviewArea area{};
  const char* input = nullptr;
  const char* output = nullptr;
  for (int a = 0; a < argc; ++a) {
    const char* arg = argv[a];
    const char* areaText = nullptr;
    if (std::strcmp(arg, "--2d") == 0) {
      twoD = true;
    } else if (std::strcmp(arg, "--3d") == 0) {
      twoD = false;
    } else if (std::strcmp(arg, "--area") == 0) {
      if (a + 1 >= argc) return cliUsageError("--area needs LEFT,WIDTH,HEIGHT");
      areaText = argv[++a];
    } else if (std::strncmp(arg, "--area=", 7) == 0) {
      areaText = arg + 7;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      return cliUsageError(std::string("unknown option ") + arg);
    } else if (!input) {
      input = arg;
    } else if (!output) {
      output = arg;
    } else {
      return cliUsageError("too many arguments");
    }
    if (areaText) {
      if (!parseArea(areaText, &area))
        return cliUsageError(std::string("--area takes LEFT,WIDTH,HEIGHT, whole numbers 0 to ") +
                             std::to_string(kMaxAreaValue) + ", not '" + areaText + "'");
      haveArea = true;
    }
  }
  if (!input || !output) return cliUsageError("preview needs INPUT.csv and OUTPUT (.png, .ppm or -)");
  std::string outputPath = output;
  bool toStdout = outputPath == "-";
  bool png = endsWithNoCase(outputPath, ".png");
  if (!toStdout && !png && !endsWithNoCase(outputPath, ".ppm"))
    return cliUsageError("OUTPUT must end in .png or .ppm, or be -");

  ClientSize client;
  if (haveArea) {
    client = clientForArea(area);
  } else {
    ClientSize panel = defaultPanelClient();
    client = defaultDialogClient();
    area = computePreviewArea(panel.width, panel.height, client.width);
  }

  PointTable table{};
  Extents extents{};
  if (!cliReadTable(input, twoD, &table, &extents)) return 1;
  Canvas canvas;
  if (twoD)
    drawPreview2D(&canvas, area, table, extents);
  else
    drawPreview3D(&canvas, area, table, extents);
  releaseTable(&table);

  if (toStdout) {
    printOps(canvas.ops);
    return 0;
  }
  Raster raster;
  if (!rasterInit(&raster, client.width, client.height, kDialogFace)) {
    std::fprintf(stderr, "plotvane-cli: a %d x %d picture is too large\n", client.width, client.height);
    return 1;
  }
  rasterReplay(&raster, canvas.ops);
  std::string bytes;
  if (png)
    encodePng(raster, &bytes);
  else
    encodePpm(raster, &bytes);
  return writeFile(outputPath, bytes) ? 0 : 1;
}
