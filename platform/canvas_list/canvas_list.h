// A canvas that keeps its operations in a list, in order: the batch tool prints or rasterizes
// them, and the tests compare them.
#pragma once

#include <vector>

#include "platform/canvas.h"

struct CanvasOp {
  enum Kind { frame, moveTo, lineTo } kind;
  int a, b, c, d;  // frame: left top right bottom; moveTo/lineTo: x y
  bool operator==(const CanvasOp&) const = default;
};

struct Canvas {
  std::vector<CanvasOp> ops;
};
