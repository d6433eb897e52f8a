// Canvas operations as the tests draw and spell them: "frame 101 0 302 151|move 101 150|line 301 0",
// readable in failures and in the tables of expected drawings.
#pragma once

#include <string>
#include <vector>

#include "platform/canvas_list/canvas_list.h"
#include "viewer/preview.h"

inline std::string describe(const std::vector<CanvasOp>& ops) {
  std::string text;
  for (const CanvasOp& op : ops) {
    if (!text.empty()) text += '|';
    switch (op.kind) {
      case CanvasOp::frame:
        text += "frame " + std::to_string(op.a) + ' ' + std::to_string(op.b) + ' ' + std::to_string(op.c) + ' ' +
                std::to_string(op.d);
        break;
      case CanvasOp::moveTo: text += "move " + std::to_string(op.a) + ' ' + std::to_string(op.b); break;
      case CanvasOp::lineTo: text += "line " + std::to_string(op.a) + ' ' + std::to_string(op.b); break;
    }
  }
  return text;
}

// The preview of a grid (3D) or a profile (2D) in the area.
inline std::vector<CanvasOp> draw(bool grid, const PreviewArea& area, const PointTable& table, const Extents& extents) {
  Canvas canvas;
  if (grid)
    drawPreview3D(&canvas, area, table, extents);
  else
    drawPreview2D(&canvas, area, table, extents);
  return canvas.ops;
}
