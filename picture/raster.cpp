#include "picture/raster.h"

#include <algorithm>
#include <cstdlib>

#include "platform/canvas.h"

namespace {

// Coordinates pulled in to GDI's range keep every product below in range.
constexpr int64_t kCoordinateLimit = kPixelLimit;
// Pictures above this many pixels are refused rather than half allocated.
constexpr int64_t kMaxPixels = int64_t{1} << 26;

int64_t clampCoordinate(int64_t value) { return std::clamp(value, -kCoordinateLimit, kCoordinateLimit); }

void paint(Raster* raster, int64_t x, int64_t y, RasterColor color) {
  if (x < 0 || y < 0 || x >= raster->width || y >= raster->height) return;
  uint8_t* pixel = &raster->rgb[(static_cast<size_t>(y) * static_cast<size_t>(raster->width) + static_cast<size_t>(x)) * 3];
  pixel[0] = color.r;
  pixel[1] = color.g;
  pixel[2] = color.b;
}

void fill(Raster* raster, int64_t left, int64_t top, int64_t right, int64_t bottom, RasterColor color) {
  left = std::max<int64_t>(left, 0);
  top = std::max<int64_t>(top, 0);
  right = std::min<int64_t>(right, raster->width);
  bottom = std::min<int64_t>(bottom, raster->height);
  for (int64_t y = top; y < bottom; ++y)
    for (int64_t x = left; x < right; ++x) paint(raster, x, y, color);
}

struct LineSteps {
  bool xMajor;
  int64_t xStep, yStep;  // -1, 0 or +1 per pixel
  int64_t major, minor;  // absolute spans along the major and the minor axis
  int64_t bias;          // 1 when the minor coordinate falls: ties then take the step
};

// The one place that decides a line's pixels, kept small to compare with the real platform.
// The major axis is x when |dx| > |dy|, else y (so exact diagonals are y-major). Pixel n of the
// line (n = 0 .. major - 1; the end point, n = major, is not painted) is offset along the minor
// axis by n x minor / major rounded to the nearest integer; an exact half goes to the smaller
// minor coordinate whichever way the line runs, so A to B and B to A share their tie pixels.
// This is Bresenham's decision "err + bias > 0" with bias 1 in the octants whose minor
// coordinate falls.
LineSteps gdiLineSteps(int64_t dx, int64_t dy) {
  LineSteps steps;
  steps.xMajor = std::llabs(dx) > std::llabs(dy);
  steps.xStep = dx > 0 ? 1 : dx < 0 ? -1 : 0;
  steps.yStep = dy > 0 ? 1 : dy < 0 ? -1 : 0;
  steps.major = steps.xMajor ? std::llabs(dx) : std::llabs(dy);
  steps.minor = steps.xMajor ? std::llabs(dy) : std::llabs(dx);
  steps.bias = (steps.xMajor ? dy : dx) < 0 ? 1 : 0;
  return steps;
}

int64_t minorOffset(const LineSteps& steps, int64_t n) {
  return (2 * n * steps.minor + steps.major - 1 + steps.bias) / (2 * steps.major);
}

void drawLine(Raster* raster, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  LineSteps steps = gdiLineSteps(x1 - x0, y1 - y0);
  if (steps.major == 0) return;
  // Only the pixels whose major coordinate lies in the picture are walked, so a line that
  // reaches far outside costs no more than one across it.
  int64_t start = steps.xMajor ? x0 : y0;
  int64_t step = steps.xMajor ? steps.xStep : steps.yStep;
  int64_t size = steps.xMajor ? raster->width : raster->height;
  int64_t first, end;
  if (step > 0) {
    first = std::max<int64_t>(0, -start);
    end = std::min(steps.major, size - start);
  } else {
    first = std::max<int64_t>(0, start - (size - 1));
    end = std::min(steps.major, start + 1);
  }
  for (int64_t n = first; n < end; ++n) {
    int64_t offset = minorOffset(steps, n);
    if (steps.xMajor)
      paint(raster, x0 + n * steps.xStep, y0 + offset * steps.yStep, kRasterBlack);
    else
      paint(raster, x0 + offset * steps.xStep, y0 + n * steps.yStep, kRasterBlack);
  }
}

}  // namespace

bool rasterInit(Raster* raster, int32_t width, int32_t height, RasterColor background) {
  if (width < 0 || height < 0 || int64_t{width} * height > kMaxPixels) return false;
  raster->width = width;
  raster->height = height;
  raster->rgb.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
  for (size_t i = 0; i < raster->rgb.size(); i += 3) {
    raster->rgb[i] = background.r;
    raster->rgb[i + 1] = background.g;
    raster->rgb[i + 2] = background.b;
  }
  raster->penX = 0;
  raster->penY = 0;
  return true;
}

RasterColor rasterPixel(const Raster& raster, int32_t x, int32_t y) {
  const uint8_t* pixel = &raster.rgb[(static_cast<size_t>(y) * static_cast<size_t>(raster.width) + static_cast<size_t>(x)) * 3];
  return RasterColor{pixel[0], pixel[1], pixel[2]};
}

void rasterFrame(Raster* raster, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  // GDI orders the corners first; an empty rectangle paints nothing.
  int64_t l = clampCoordinate(std::min(left, right)), r = clampCoordinate(std::max(left, right));
  int64_t t = clampCoordinate(std::min(top, bottom)), b = clampCoordinate(std::max(top, bottom));
  if (l == r || t == b) return;
  fill(raster, l, t, r, b, kRasterWhite);
  fill(raster, l, t, r, t + 1, kRasterBlack);
  fill(raster, l, b - 1, r, b, kRasterBlack);
  fill(raster, l, t, l + 1, b, kRasterBlack);
  fill(raster, r - 1, t, r, b, kRasterBlack);
}

void rasterMoveTo(Raster* raster, int32_t x, int32_t y) {
  raster->penX = x;
  raster->penY = y;
}

void rasterLineTo(Raster* raster, int32_t x, int32_t y) {
  drawLine(raster, clampCoordinate(raster->penX), clampCoordinate(raster->penY), clampCoordinate(x), clampCoordinate(y));
  raster->penX = x;
  raster->penY = y;
}

void rasterReplay(Raster* raster, const std::vector<CanvasOp>& ops) {
  for (const CanvasOp& op : ops) {
    switch (op.kind) {
      case CanvasOp::frame: rasterFrame(raster, op.a, op.b, op.c, op.d); break;
      case CanvasOp::moveTo: rasterMoveTo(raster, op.a, op.b); break;
      case CanvasOp::lineTo: rasterLineTo(raster, op.a, op.b); break;
    }
  }
}
