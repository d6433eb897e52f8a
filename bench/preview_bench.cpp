// The 3D preview of a 2000 x 2000 grid: 8 million canvas operations per drawing, computed
// afresh every time. Goal: well under a second per drawing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/canvas_list/canvas_list.h"
#include "viewer/point_table.h"
#include "viewer/preview.h"

namespace {

constexpr int kGridSide = 2000;
constexpr PreviewArea kArea{127, 247, 181};

struct Grid {
  std::vector<double> cells;
  std::vector<double*> rowPointers;
  PointTable table{};
  Extents extents{};
};

// A wavy surface, with the extents kept as the grid reader keeps them.
const Grid& grid() {
  static Grid g = [] {
    Grid g;
    const int columns = kGridSide + 1, rows = kGridSide + 3;
    g.cells.assign(static_cast<size_t>(columns) * rows, 0.0);
    for (int r = 0; r < rows; ++r) g.rowPointers.push_back(g.cells.data() + static_cast<size_t>(r) * columns);
    double** cell = g.rowPointers.data();
    for (int i = 1; i <= kGridSide; ++i) cell[0][i] = 0.01 * i;
    bool started = false;
    for (int j = 1; j <= kGridSide; ++j) {
      cell[j][0] = 0.01 * j;
      for (int i = 1; i <= kGridSide; ++i) {
        cell[j][i] = std::sin(0.013 * i) * std::cos(0.007 * j) * 3.0;
        double u = static_cast<double>(isoU(cell[0][i], cell[j][0]));
        double v = static_cast<double>(isoV(cell[0][i], cell[j][0], cell[j][i]));
        Extents& e = g.extents;
        if (!started) e = {u, u, v, v};
        started = true;
        e.xMin = std::min(e.xMin, u);
        e.xMax = std::max(e.xMax, u);
        e.yMin = std::min(e.yMin, v);
        e.yMax = std::max(e.yMax, v);
      }
    }
    g.table = PointTable{g.rowPointers.data(), columns, rows - 1, kGridSide, kGridSide};
    return g;
  }();
  return g;
}

// A fresh canvas list per drawing: the operation list grows from empty every time.
void BM_Preview3D_FreshCanvas(benchmark::State& state) {
  const Grid& g = grid();
  for (auto _ : state) {
    Canvas canvas;
    drawPreview3D(&canvas, kArea, g.table, g.extents);
    benchmark::DoNotOptimize(canvas.ops.data());
    state.counters["ops"] = static_cast<double>(canvas.ops.size());
  }
}
BENCHMARK(BM_Preview3D_FreshCanvas)->Unit(benchmark::kMillisecond);

// The canvas keeps its storage between drawings, as a screen surface would: the drawing alone.
void BM_Preview3D_ReusedCanvas(benchmark::State& state) {
  const Grid& g = grid();
  Canvas canvas;
  for (auto _ : state) {
    canvas.ops.clear();
    drawPreview3D(&canvas, kArea, g.table, g.extents);
    benchmark::DoNotOptimize(canvas.ops.data());
  }
  state.counters["ops"] = static_cast<double>(canvas.ops.size());
}
BENCHMARK(BM_Preview3D_ReusedCanvas)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
