#include "platform/polyline_batch/polyline_batch.h"

#include <cstdlib>
#include <cstring>

namespace {

bool isTracked(const PolylineBatch* batch, BatchPoint p) {
  return batch->painted && p.x >= 0 && p.y >= 0 && p.x < batch->width && p.y < batch->height;
}

// Ends the polyline being collected; it always holds two points or none.
void closeOpen(PolylineBatch* batch) {
  int length = batch->pointCount - batch->openStart;
  if (length >= 2) batch->counts[batch->polylines++] = static_cast<uint32_t>(length);
  batch->openStart = batch->pointCount;
}

void handOver(PolylineBatch* batch) {
  closeOpen(batch);
  if (batch->polylines > 0) batch->draw(batch->context, batch->points, batch->counts, batch->polylines);
  batch->pointCount = 0;
  batch->polylines = 0;
  batch->openStart = 0;
}

void forgetPainted(PolylineBatch* batch) {
  if (batch->painted) std::memset(batch->painted, 0, batch->paintedWords * sizeof(uint64_t));
}

}  // namespace

bool batchBegin(PolylineBatch* batch, int32_t width, int32_t height, BatchDraw draw, void* context) {
  batch->draw = draw;
  batch->context = context;
  batch->pointCount = 0;
  batch->polylines = 0;
  batch->openStart = 0;
  batch->current = BatchPoint{0, 0};
  batch->width = width > 0 && height > 0 ? width : 0;
  batch->height = width > 0 && height > 0 ? height : 0;
  size_t words = (static_cast<size_t>(batch->width) * static_cast<size_t>(batch->height) + 63) / 64;
  if (words > batch->paintedWords || !batch->painted) {
    std::free(batch->painted);
    batch->painted = static_cast<uint64_t*>(std::malloc((words ? words : 1) * sizeof(uint64_t)));
    batch->paintedWords = batch->painted ? words : 0;
  }
  forgetPainted(batch);
  return batch->painted != nullptr;
}

void batchFrame(PolylineBatch* batch) {
  handOver(batch);
  forgetPainted(batch);
}

void batchMoveTo(PolylineBatch* batch, int32_t x, int32_t y) {
  closeOpen(batch);
  batch->current = BatchPoint{x, y};
}

void batchLineTo(PolylineBatch* batch, int32_t x, int32_t y) {
  const BatchPoint from = batch->current;
  if (from.x == x && from.y == y) return;  // paints nothing
  batch->current = BatchPoint{x, y};
  if (isTracked(batch, from)) {
    size_t bit = static_cast<size_t>(from.y) * static_cast<size_t>(batch->width) + static_cast<size_t>(from.x);
    uint64_t mask = uint64_t{1} << (bit % 64);
    int64_t dx = int64_t{x} - from.x, dy = int64_t{y} - from.y;
    bool oneStep = dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1;
    if (oneStep && (batch->painted[bit / 64] & mask)) {
      closeOpen(batch);  // paints only its start, black already: the next line starts anew
      return;
    }
    batch->painted[bit / 64] |= mask;
  }
  if (batch->pointCount == batch->openStart) {
    if (batch->pointCount + 2 > kBatchPoints) handOver(batch);
    batch->points[batch->pointCount++] = from;
  } else if (batch->pointCount == kBatchPoints) {
    handOver(batch);
    batch->points[batch->pointCount++] = from;
  }
  batch->points[batch->pointCount++] = batch->current;
}

void batchEnd(PolylineBatch* batch) { handOver(batch); }

void batchRelease(PolylineBatch* batch) {
  std::free(batch->painted);
  batch->painted = nullptr;
  batch->paintedWords = 0;
}
