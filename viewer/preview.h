// The preview: fitting the extents into the preview frame and the canvas operations of the
// 2D polyline and the 3D isometric wireframe.
#pragma once

#include <cstdint>

#include "platform/canvas.h"
#include "viewer/point_table.h"

// The preview frame in the dialog's client pixels: columns left .. left + width, rows 0 .. height.
struct PreviewArea {
  int32_t left;
  int32_t width;
  int32_t height;
};

// Points mapped beyond the canvas's kPixelLimit are pulled in to within it.

// The fit of one drawing. drawable is false when nothing but the frame can be drawn: both
// spreads zero, or a scale or xOffset that is not finite or lies beyond kPixelLimit.
struct PreviewFit {
  bool drawable;
  double xSpread;
  double ySpread;
  double fitWidth;  // ySpread x 4/3, the spread a 4:3 box of ySpread would need
  double scale;     // pixels per drawing-plane unit, both axes
  int32_t xOffset;  // pixel column of xMin
};

// From the client size of the left panel and the dialog's client width.
PreviewArea computePreviewArea(int panelWidth, int panelHeight, int dialogWidth);

// Fits the extents into the area with the fixed 4:3 rule; the values are computed afresh.
PreviewFit computePreviewFit(const PreviewArea& area, const Extents& extents);

// Draw the frame and then the table, as a two-row profile or a grid wireframe. Only the frame
// when the table is empty, its indices lie outside it, or the fit is not drawable.
void drawPreview2D(Canvas* canvas, const PreviewArea& area, const PointTable& table, const Extents& extents);
void drawPreview3D(Canvas* canvas, const PreviewArea& area, const PointTable& table, const Extents& extents);
