// The drawing seam of the preview: a surface addressed in the dialog's client pixels and three
// operations on it. Each program links exactly one definition of Canvas and of these functions:
// the Win32 canvas that draws with GDI (viewer/viewer_window_win32.cpp) in plotvane.exe, or the
// canvas list (canvas_list/) that keeps the operations, in the batch tool and the tests.
#pragma once

#include <cstdint>

struct Canvas;

// The range a GDI device coordinate may take: every coordinate handed to a canvas lies within
// +-kPixelLimit.
constexpr int32_t kPixelLimit = 1 << 27;

// Outlines the rectangle with the black one-pixel pen and fills its inside white; right and
// bottom are exclusive (the outline lies on columns left and right - 1, rows top and bottom - 1).
void canvasFrame(Canvas* canvas, int left, int top, int right, int bottom);
// Makes (x, y) the current point; draws nothing.
void canvasMoveTo(Canvas* canvas, int x, int y);
// Draws from the current point to (x, y), that point itself not painted; (x, y) becomes current.
void canvasLineTo(Canvas* canvas, int x, int y);
