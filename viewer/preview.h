// The preview: fitting the extents into the preview frame and the canvas operations of the
// 2D polyline and the 3D isometric wireframe.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "viewer/point_table.h"

// The preview frame in the dialog's client pixels: columns left .. left + width, rows 0 .. height.
struct PreviewArea {
  int32_t left;
  int32_t width;
  int32_t height;
};

// From the client size of the left panel and the dialog's client width.
PreviewArea computePreviewArea(int panelWidth, int panelHeight, int dialogWidth);

// Draw the frame and then the table, as a two-row profile or a grid wireframe.
void drawPreview2D(Canvas* canvas, const PreviewArea& area, const PointTable& table, const Extents& extents);
void drawPreview3D(Canvas* canvas, const PreviewArea& area, const PointTable& table, const Extents& extents);
