// The converter's check, scan, sort and grid writing on any bytes; the grid file it writes must
// be well formed and read back by the viewer's reader with one data row per distinct Y.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "fuzz/fuzz_check.h"
#include "viewer/point_table.h"

// "XYZ" first, no line end last, every line end CR LF, one line per distinct Y.
FUZZ_HARNESS void checkGridText(const std::string& grid, size_t rows) {
  FUZZ_CHECK(grid.compare(0, 3, "XYZ") == 0);
  FUZZ_CHECK(grid.size() < 2 || grid.compare(grid.size() - 2, 2, "\r\n") != 0);
  size_t lineEnds = 0;
  for (size_t k = 0; k < grid.size(); ++k) {
    if (grid[k] == '\r') FUZZ_CHECK(k + 1 < grid.size() && grid[k + 1] == '\n');
    if (grid[k] == '\n') {
      FUZZ_CHECK(k > 0 && grid[k - 1] == '\r');
      ++lineEnds;
    }
  }
  FUZZ_CHECK(lineEnds == rows);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextInput in;
  if (!textInputOpenMemory(&in, data, size)) return 0;
  XyzListShape shape{};
  int64_t lines = validateXyzList(&in, &shape);
  if (lines <= 0) {
    textInputClose(&in);
    return 0;
  }
  FUZZ_CHECK(shape.pointCapacity >= lines);

  // The points themselves, to know what the grid must hold.
  std::set<double> ys;  // -0.0 and 0.0 are one row
  {
    std::vector<XyzPoint> points(static_cast<size_t>(shape.pointCapacity));
    int64_t count = readXyzPoints(&in, points.data(), shape.pointCapacity);
    FUZZ_CHECK(count >= lines && count <= shape.pointCapacity);
    for (int64_t k = 0; k < count; ++k) {
      FUZZ_CHECK(!std::isnan(points[k].x) && !std::isnan(points[k].y) && !std::isnan(points[k].z));
      ys.insert(points[k].y);
    }
    sortXyzPoints(points.data(), static_cast<size_t>(count));
    for (int64_t k = 1; k < count; ++k) FUZZ_CHECK(compareXyzPoints(points[k - 1], points[k]) <= 0);
    textInputRewind(&in);
  }

  std::string grid;
  TextOutput out;
  if (!textOutputBegin(&out, drainToString, &grid, kFuzzOutputBlock)) return 0;
  FoldResult result = foldXyzList(&in, shape.pointCapacity, &out);
  FUZZ_CHECK(textOutputEnd(&out));
  textInputClose(&in);
  if (result != FoldResult::ok) return 0;

  checkGridText(grid, ys.size());

  TextInput back;
  if (!textInputOpenMemory(&back, grid.data(), grid.size())) return 0;
  PointTable table{};
  Extents extents{};
  if (readGridFile(&back, &table, &extents) == ReadResult::ok) {
    FUZZ_CHECK(static_cast<size_t>(table.lastRowIndex) == ys.size());
    releaseTable(&table);
  }
  textInputClose(&back);
  return 0;
}
