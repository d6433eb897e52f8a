#include "platform/canvas_list/canvas_list.h"

#include "common/memory.h"

namespace {

// The list is bookkeeping, no allocation of the program under test: fault-injection tests
// neither count it nor make it fail.
void keep(Canvas* canvas, CanvasOp op) {
  pauseAllocationHook();
  canvas->ops.push_back(op);
  resumeAllocationHook();
}

}  // namespace

void canvasFrame(Canvas* canvas, int left, int top, int right, int bottom) {
  keep(canvas, {CanvasOp::frame, left, top, right, bottom});
}

void canvasMoveTo(Canvas* canvas, int x, int y) { keep(canvas, {CanvasOp::moveTo, x, y, 0, 0}); }

void canvasLineTo(Canvas* canvas, int x, int y) { keep(canvas, {CanvasOp::lineTo, x, y, 0, 0}); }
