#include "viewer/preview.h"

#include <cmath>
#include <cstdint>

namespace {

// 4/3 with a 64-bit mantissa (1.3333333333333333334), not the double nearest 4/3.
constexpr long double kFourThirds = 4.0L / 3.0L;
constexpr long double kPixelLimitL = kPixelLimit;

// The values one drawing maps its points with. The extended-precision steps are written with
// long double on purpose: every build has a 64-bit mantissa there, so all three agree.
struct PixelMap {
  long double xMin;
  long double yMin;
  long double scale;
  int64_t xOffset;
  int64_t height;
};

int clampPixel(int64_t value) {
  if (value > kPixelLimit) return kPixelLimit;
  if (value < -kPixelLimit) return -kPixelLimit;
  return static_cast<int>(value);
}

// trunc toward zero of a value within +-2^30. The x87 unit converts by its rounding mode, to
// nearest (set by every flow), and the result is stepped back toward zero where it rounded away.
// A cast would switch the mode to truncation and back around every conversion, which was the
// larger part of drawing a dense grid.
inline int32_t truncWithinRange(long double value) {
#if defined(__i386__) || defined(__x86_64__)
  int32_t nearest;
  __asm__("fistpl %0" : "=m"(nearest) : "t"(value) : "st");
  long double back = nearest;
  // Without branches: which way a value rounds is as good as random along a dense grid.
  int32_t roundedUp = back > value, roundedDown = back < value;
  return value >= 0 ? nearest - roundedUp : nearest + roundedDown;
#else
  return static_cast<int32_t>(value);
#endif
}

// trunc toward zero, never a conversion of a value an integer cannot hold. A NaN (a difference
// or product of infinities) counts as 0, so its point falls on the pixel of the extents' corner
// on that axis: a defined place, and one inside the frame.
int32_t truncPixel(long double value) {
  if (std::fabs(value) < kPixelLimitL) return truncWithinRange(value);  // false for a NaN
  if (std::isnan(value)) return 0;
  return value > 0 ? kPixelLimit : -kPixelLimit;
}

inline int pixelColumn(const PixelMap& map, long double h) {
  return clampPixel(map.xOffset + truncPixel((h - map.xMin) * map.scale));
}

inline int pixelRow(const PixelMap& map, long double v) {
  return clampPixel(map.height - truncPixel((v - map.yMin) * map.scale));
}

void drawFrame(Canvas* canvas, const PreviewArea& area) {
  int64_t right = int64_t{area.left} + area.width + 1;
  int64_t bottom = int64_t{area.height} + 1;
  canvasFrame(canvas, clampPixel(area.left), 0, clampPixel(right), clampPixel(bottom));
}

// Nothing to map with: the frame stays alone.
bool makePixelMap(const PreviewArea& area, const Extents& extents, PixelMap* map) {
  PreviewFit fit = computePreviewFit(area, extents);
  if (!fit.drawable) return false;
  *map = PixelMap{extents.xMin, extents.yMin, fit.scale, fit.xOffset, area.height};
  return true;
}

// The pixel of a grid node.
struct NodePixel {
  int32_t column, row;
};

// The column polylines first, then the row polylines, of the node pixels node(j, i) gives.
template <typename NodeAt>
void drawWireframe(Canvas* canvas, int32_t lastColumn, int32_t lastRow, NodeAt node) {
  // The move-to of a column stands even when there is no second data row.
  for (int32_t i = 1; i <= lastColumn; ++i) {
    NodePixel start = node(1, i);
    canvasMoveTo(canvas, start.column, start.row);
    for (int32_t j = 2; j <= lastRow; ++j) {
      NodePixel next = node(j, i);
      canvasLineTo(canvas, next.column, next.row);
    }
  }
  for (int32_t j = 1; j <= lastRow; ++j) {
    NodePixel start = node(j, 1);
    canvasMoveTo(canvas, start.column, start.row);
    for (int32_t i = 2; i <= lastColumn; ++i) {
      NodePixel next = node(j, i);
      canvasLineTo(canvas, next.column, next.row);
    }
  }
}

bool tableHasRows(const PointTable& table, int32_t lastRowNeeded) {
  return table.rows != nullptr && table.columnCapacity > 0 && table.rowCapacity >= lastRowNeeded &&
         table.lastColumnIndex >= 0 && table.lastColumnIndex < table.columnCapacity;
}

}  // namespace

PreviewArea computePreviewArea(int panelWidth, int panelHeight, int dialogWidth) {
  // The panel sits at the client origin, so its client size is also its right and bottom edge.
  PreviewArea area;
  area.left = panelWidth + 1;
  area.height = panelHeight - 1;
  area.width = dialogWidth - area.left - 1;
  return area;
}

PreviewFit computePreviewFit(const PreviewArea& area, const Extents& extents) {
  PreviewFit fit{};
  fit.xSpread = static_cast<double>(static_cast<long double>(extents.xMax) - extents.xMin);
  fit.ySpread = static_cast<double>(static_cast<long double>(extents.yMax) - extents.yMin);
  fit.fitWidth = static_cast<double>(fit.ySpread * kFourThirds);

  int64_t xOffset;
  if (fit.fitWidth >= fit.xSpread) {
    // Height governs; a zero ySpread here means both spreads are zero: one drawing-plane point.
    if (fit.ySpread == 0) return fit;
    fit.scale = static_cast<double>(static_cast<long double>(area.height) / fit.ySpread);
    // Centred in a 4/3 x height box that starts at left, not in the real width.
    long double shift = (static_cast<long double>(fit.fitWidth) - fit.xSpread) * 0.5L * fit.scale;
    if (!(std::fabs(shift) <= kPixelLimitL)) return fit;
    xOffset = area.left + static_cast<int64_t>(shift);
  } else {
    // Width governs. A zero xSpread here needs a negative ySpread: extents that are not ordered.
    if (fit.xSpread == 0) return fit;
    fit.scale = static_cast<double>(static_cast<long double>(area.width) / fit.xSpread);
    xOffset = area.left;
  }
  // NaN spreads land in the width branch with a NaN scale; infinite ones give inf or 0.
  if (!std::isfinite(fit.scale) || xOffset > kPixelLimit || xOffset < -kPixelLimit) return fit;
  fit.xOffset = static_cast<int32_t>(xOffset);
  fit.drawable = true;
  return fit;
}

void drawPreview2D(Canvas* canvas, const PreviewArea& area, const PointTable& table, const Extents& extents) {
  drawFrame(canvas, area);
  PixelMap map;
  if (!tableHasRows(table, 1) || !makePixelMap(area, extents, &map)) return;

  const double* xs = table.rows[0];
  const double* ys = table.rows[1];
  canvasMoveTo(canvas, pixelColumn(map, xs[0]), pixelRow(map, ys[0]));
  for (int32_t k = 1; k <= table.lastColumnIndex; ++k)
    canvasLineTo(canvas, pixelColumn(map, xs[k]), pixelRow(map, ys[k]));
}

void drawPreview3D(Canvas* canvas, const PreviewArea& area, const PointTable& table, const Extents& extents) {
  drawFrame(canvas, area);
  PixelMap map;
  if (!tableHasRows(table, 1) || table.lastRowIndex < 0 || table.lastRowIndex > table.rowCapacity ||
      table.lastColumnIndex == 0 || !makePixelMap(area, extents, &map))
    return;

  const int32_t lastColumn = table.lastColumnIndex;
  const int32_t lastRow = table.lastRowIndex;
  double* const* rows = table.rows;
  const double* header = rows[0];
  // Every node is projected anew each time a polyline passes it: a cache of the pixels was seen to
  // cost as much in memory traffic and page faults as it saved in arithmetic.
  drawWireframe(canvas, lastColumn, lastRow, [&](int32_t j, int32_t i) {
    long double x = header[i];
    long double y = rows[j][0];
    return NodePixel{pixelColumn(map, isoU(x, y)), pixelRow(map, isoV(x, y, rows[j][i]))};
  });
}
