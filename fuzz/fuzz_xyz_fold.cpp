// The converter's check, scan, sort and grid writing on any bytes; the grid file it writes must
// be well formed, a grid, and read back by the viewer's reader with one data row per distinct Y.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "fuzz/fuzz_check.h"
#include "viewer/point_table.h"

// "XYZ" first, no line end last, every line end CR LF, one line per distinct Y, and as many
// values on every line as the header has X values: a grid.
FUZZ_HARNESS void checkGridText(const std::string& grid, size_t rows) {
  const char* g = grid.data();
  const size_t size = grid.size();
  FUZZ_CHECK(size >= 3 && g[0] == 'X' && g[1] == 'Y' && g[2] == 'Z');
  FUZZ_CHECK(size < 2 || g[size - 2] != '\r' || g[size - 1] != '\n');
  size_t lineEnds = 0, commas = 0, headerCommas = 0;
  for (size_t k = 0; k < size; ++k) {
    commas += g[k] == ',';
    if (g[k] == '\r') FUZZ_CHECK(k + 1 < size && g[k + 1] == '\n');
    if (g[k] == '\n') {
      FUZZ_CHECK(k > 0 && g[k - 1] == '\r');
      if (lineEnds++ == 0) headerCommas = commas;
      FUZZ_CHECK(commas == headerCommas);
      commas = 0;
    }
  }
  FUZZ_CHECK(lineEnds == rows && (rows == 0 || commas == headerCommas));
}

// The points themselves, checked as they are read and once sorted. Returns the number of
// distinct Ys, which the grid must hold as rows (-0.0 and 0.0 are one row).
FUZZ_HARNESS size_t checkPoints(TextInput* in, const XyzListShape& shape, int64_t lines) {
  std::vector<XyzPoint> points(static_cast<size_t>(shape.pointCapacity));
  XyzPoint* p = points.data();
  int64_t count = readXyzPoints(in, p, shape.pointCapacity, shape.header);
  FUZZ_CHECK(count >= lines - shape.header && count <= shape.pointCapacity);
  for (int64_t k = 0; k < count; ++k) FUZZ_CHECK(!std::isnan(p[k].x) && !std::isnan(p[k].y) && !std::isnan(p[k].z));
  sortXyzPoints(p, static_cast<size_t>(count));
  size_t rows = count > 0 ? 1 : 0;
  for (int64_t k = 1; k < count; ++k) {
    FUZZ_CHECK(compareXyzPoints(p[k - 1], p[k]) <= 0);
    rows += p[k].y != p[k - 1].y;
  }
  return rows;
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
  FUZZ_CHECK(shape.pointCapacity >= lines - shape.header);
  const size_t rows = checkPoints(&in, shape, lines);
  textInputRewind(&in);

  std::string grid;
  TextOutput out;
  if (!textOutputBegin(&out, drainToString, &grid, kFuzzOutputBlock)) return 0;
  GridLoad result = foldXyzList(&in, shape, &out);
  FUZZ_CHECK(textOutputEnd(&out));
  textInputClose(&in);
  if (result.end != GridLoad::done) return 0;

  checkGridText(grid, rows);

  TextInput back;
  if (!textInputOpenMemory(&back, grid.data(), grid.size())) return 0;
  PointTable table{};
  Extents extents{};
  if (readGridFile(&back, &table, &extents) == ReadResult::ok) {
    FUZZ_CHECK(static_cast<size_t>(table.lastRowIndex) == rows);
    releaseTable(&table);
  }
  textInputClose(&back);
  return 0;
}
