// The drawing seam of the preview: a surface addressed in the dialog's client pixels and three
// operations on it. The Win32 canvas draws with GDI (viewer/viewer_window_win32.cpp); the canvas
// list (canvas_list/) keeps the operations for the batch tool and the tests.
#pragma once

struct Canvas;

// Outlines the rectangle with the black one-pixel pen and fills its inside white; right and
// bottom are exclusive (the outline lies on columns left and right - 1, rows top and bottom - 1).
void canvasFrame(Canvas* canvas, int left, int top, int right, int bottom);
// Makes (x, y) the current point; draws nothing.
void canvasMoveTo(Canvas* canvas, int x, int y);
// Draws from the current point to (x, y), that point itself not painted; (x, y) becomes current.
void canvasLineTo(Canvas* canvas, int x, int y);
