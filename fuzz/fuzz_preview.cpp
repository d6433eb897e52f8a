// The preview on arbitrary tables, extents and areas: no undefined conversion, every coordinate
// within the range the platform takes, and the frame first with one operation per node after it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/canvas_list/canvas_list.h"
#include "viewer/preview.h"

namespace {

struct Bytes {
  const uint8_t* data;
  size_t size;
  template <typename T>
  T take() {
    T value{};
    size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
  }
};

void checkOps(const Canvas& canvas, size_t nodes) {
  FUZZ_CHECK(!canvas.ops.empty() && canvas.ops[0].kind == CanvasOp::frame);
  FUZZ_CHECK(canvas.ops.size() == 1 || canvas.ops.size() == 1 + nodes);
  for (const CanvasOp& op : canvas.ops)
    for (int c : {op.a, op.b, op.c, op.d}) FUZZ_CHECK(c >= -kPixelLimit && c <= kPixelLimit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in{data, size};
  PreviewArea area;
  area.left = in.take<int16_t>();
  area.width = in.take<int16_t>();
  area.height = in.take<int16_t>();
  Extents extents;
  extents.xMin = in.take<double>();
  extents.xMax = in.take<double>();
  extents.yMin = in.take<double>();
  extents.yMax = in.take<double>();
  int32_t columns = 1 + in.take<uint8_t>() % 8, rows = 1 + in.take<uint8_t>() % 8;

  // A table of `rows` + 1 rows of `columns` cells, filled from the rest of the bytes.
  std::vector<double> cells(static_cast<size_t>(columns) * static_cast<size_t>(rows + 1));
  for (double& cell : cells) cell = in.take<double>();
  std::vector<double*> rowPointers(static_cast<size_t>(rows + 1));
  for (int32_t r = 0; r <= rows; ++r) rowPointers[static_cast<size_t>(r)] = cells.data() + r * columns;
  PointTable table{rowPointers.data(), columns, rows, columns - 1, rows};

  Canvas canvas;
  drawPreview3D(&canvas, area, table, extents);
  checkOps(canvas, 2 * static_cast<size_t>(table.lastColumnIndex) * static_cast<size_t>(table.lastRowIndex));
  canvas.ops.clear();
  drawPreview2D(&canvas, area, table, extents);
  checkOps(canvas, static_cast<size_t>(table.lastColumnIndex) + 1);
  return 0;
}
