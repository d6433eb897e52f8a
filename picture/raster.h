// A reference rasterizer of the preview's canvas operations, following GDI's pixel rules for the
// stock white brush and the default one-pixel solid black pen. The batch tool paints the dialog's
// client area with it, so pictures can be compared with screenshots of the real dialog.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/canvas_list/canvas_list.h"

struct RasterColor {
  uint8_t r, g, b;
  bool operator==(const RasterColor&) const = default;
};

constexpr RasterColor kRasterBlack{0, 0, 0};
constexpr RasterColor kRasterWhite{255, 255, 255};
constexpr RasterColor kDialogFace{240, 240, 240};  // the dialog's background outside the frame

// Pixels top row first, three bytes (r, g, b) each. The pen position starts at (0, 0), as in a
// fresh device context.
struct Raster {
  int32_t width;
  int32_t height;
  std::vector<uint8_t> rgb;
  int32_t penX;
  int32_t penY;
};

// A width x height picture filled with background. False when the size is negative or too
// large to hold.
bool rasterInit(Raster* raster, int32_t width, int32_t height, RasterColor background);
// The colour of (x, y), which must lie inside the picture.
RasterColor rasterPixel(const Raster& raster, int32_t x, int32_t y);

// Rectangle: outline on columns left and right - 1, rows top and bottom - 1, inside white.
void rasterFrame(Raster* raster, int32_t left, int32_t top, int32_t right, int32_t bottom);
void rasterMoveTo(Raster* raster, int32_t x, int32_t y);
// LineTo: from the pen position to (x, y), (x, y) itself not painted; (x, y) becomes the pen position.
void rasterLineTo(Raster* raster, int32_t x, int32_t y);
// Plays a recorded operation list in order.
void rasterReplay(Raster* raster, const std::vector<CanvasOp>& ops);
