// The canvas operations of one drawing, collected into polylines for a drawing system that takes
// many points per call (GDI's PolyPolyline), without the lines that paint nothing new. The pixels
// stay those of the operations drawn one by one with a one-pixel pen that paints only black:
// - a line that ends where it starts paints nothing;
// - a line one pixel long (to one of the eight neighbours) paints only its start, so it is left
//   out when that pixel is already black in this drawing. A dense grid's preview is mostly such
//   lines, painting the same few thousand pixels over and over.
// The frame, which paints white inside, is the caller's; the batch is told of it.
#pragma once

#include <cstddef>
#include <cstdint>

struct BatchPoint {
  int32_t x, y;
};

// Points per hand-over; every polyline has at least two, so half as many counts.
constexpr int kBatchPoints = 8192;

// Hands over `polylines` polylines: counts[k] points each, one after the other in points.
using BatchDraw = void (*)(void* context, const BatchPoint* points, const uint32_t* counts, int polylines);

struct PolylineBatch {
  BatchDraw draw;
  void* context;
  BatchPoint points[kBatchPoints];
  uint32_t counts[kBatchPoints / 2];
  int pointCount;  // points collected
  int polylines;   // complete polylines among them
  int openStart;   // where the polyline still being collected starts: none, or two points or more
  BatchPoint current;
  // Pixels this drawing painted black, a bit each, over [0, width) x [0, height); none tracked
  // when no memory could be had for them.
  uint64_t* painted;
  size_t paintedWords;
  int32_t width, height;
};

// Starts a drawing whose pixels in [0, width) x [0, height) are tracked; the current point is
// (0, 0). False when the memory for tracking ran out: the drawing still works, untracked.
bool batchBegin(PolylineBatch* batch, int32_t width, int32_t height, BatchDraw draw, void* context);
// Hands over what was collected, before the caller draws its frame over it; forgets the painted
// pixels, since the frame paints white.
void batchFrame(PolylineBatch* batch);
void batchMoveTo(PolylineBatch* batch, int32_t x, int32_t y);
void batchLineTo(PolylineBatch* batch, int32_t x, int32_t y);
// Hands over the rest of the drawing.
void batchEnd(PolylineBatch* batch);
// Frees the tracking memory.
void batchRelease(PolylineBatch* batch);
