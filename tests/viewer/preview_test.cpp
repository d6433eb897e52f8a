#include "viewer/preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/canvas_list/canvas_list.h"
#include "tests/viewer/canvas_text.h"
#include "tests/viewer/loaded_table.h"
#include "viewer/point_table.h"

namespace {

constexpr PreviewArea kExampleArea{101, 200, 150};  // panel 100 x 151, dialog 302 wide
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string drawText(const std::string& text, bool grid, const PreviewArea& area = kExampleArea) {
  Loaded l;
  load(&l, text, grid);
  return describe(draw(grid, area, l.table, l.extents));
}

const std::string kFrame = "frame 101 0 302 151";

TEST(PreviewArea, FollowsThePanelAndTheDialogWidth) {
  struct Case {
    int panelWidth, panelHeight, dialogWidth;
    PreviewArea expected;
  } cases[] = {
      {100, 151, 302, {101, 200, 150}},
      {126, 182, 375, {127, 247, 181}},
  };
  for (const Case& c : cases) {
    PreviewArea area = computePreviewArea(c.panelWidth, c.panelHeight, c.dialogWidth);
    EXPECT_EQ(area.left, c.expected.left);
    EXPECT_EQ(area.width, c.expected.width);
    EXPECT_EQ(area.height, c.expected.height);
  }
}

TEST(PreviewDrawing, WorkedExamplesReadFromText) {
  struct Case {
    const char* name;
    bool grid;
    const char* text;
    std::string expected;
  } cases[] = {
      {"2D exactly 4:3, height governs", false, "0,4\n0,3\n", kFrame + "|move 101 150|line 301 0"},
      {"2D tall, centred in a 4:3 box", false, "0,1\n0,3\n", kFrame + "|move 176 150|line 226 0"},
      {"2D wide, resting on the bottom", false, "0,10\n0,1\n", kFrame + "|move 101 150|line 301 130"},
      {"2D truncation toward zero, unread Y outside the extents", false, "0,2,4,6\n1,3,2\n",
       kFrame + "|move 101 150|line 167 84|line 234 117|line 301 183"},
      {"2D all X equal", false, "5,5,5\n0,3,1\n", kFrame + "|move 201 150|line 201 0|line 201 100"},
      {"2D all Y equal", false, "0,4,8\n2,2,2\n", kFrame + "|move 101 150|line 201 150|line 301 150"},
      {"3D isometric wireframe", true, "XYZ,1,2,3\n1,0,0,0\n2,0,3,0\n",
       kFrame +
           "|move 152 113|line 184 94|move 184 132|line 216 0|move 216 150|line 249 132"  // columns
           "|move 152 113|line 184 132|line 216 150|move 184 94|line 216 0|line 249 132"},  // rows
      // Three columns (X 0, 10, 30) by four rows (Y 0 to 30), Z = 10 j + i: swapped axes or loops
      // cannot give these. Coordinates from exact rational arithmetic rounded as the two
      // precisions round, as in the cases below.
      {"3D three columns by four rows", true, "XYZ,0,10,30\n0,11,12,13\n10,21,22,23\n20,31,32,33\n30,41,42,43\n",
       kFrame +
           "|move 133 117|line 155 78|line 177 39|line 200 0|move 155 127|line 177 88|line 200 50|line 222 11"
           "|move 200 150|line 222 112|line 244 73|line 267 34"  // columns
           "|move 133 117|line 155 127|line 200 150|move 155 78|line 177 88|line 222 112"
           "|move 177 39|line 200 50|line 244 73|move 200 0|line 222 11|line 267 34"},  // rows
      // Coordinates checked with exact rational arithmetic rounded as the two precisions round.
      {"3D single data row: lone moves, then the row", true, "XYZ,1,2,3\n1,0,0,0\n",
       kFrame + "|move 101 35|move 200 93|move 300 150|move 101 35|line 200 93|line 300 150"},
      {"3D header without a comma", true, "XYZ\n1\n2\n", kFrame},
      {"2D second line wider than the first: the move-to alone", false, "5\n7,9\n", kFrame + "|move 200 150"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded l;
    load(&l, c.text, c.grid);
    std::string first = describe(draw(c.grid, kExampleArea, l.table, l.extents));
    EXPECT_EQ(first, c.expected);
    // A repaint gives the same operations.
    EXPECT_EQ(describe(draw(c.grid, kExampleArea, l.table, l.extents)), first);
  }
}

TEST(PreviewDrawing, ExtendedPrecisionDecidesTiesAndTruncation) {
  // ySpread 0.03 x 4/3 rounds to exactly xSpread 0.04 only with a 64-bit-mantissa 4/3, so the
  // height governs (scale 150 / 0.03 = 5000; the width would give 10000). And 0.03 x 5000 is
  // 149.99999999999999445 in extended precision (row 150 - 149 = 1) but rounds to 150 (row 0)
  // in double.
  EXPECT_EQ(drawText("0,0.04\n0,0.03\n", false, {0, 400, 150}), "frame 0 0 401 151|move 0 150|line 200 1");
  Loaded l;
  load(&l, "0,0.04\n0,0.03\n", false);
  PreviewFit fit = computePreviewFit({0, 400, 150}, l.extents);
  EXPECT_EQ(fit.fitWidth, fit.xSpread);
  EXPECT_EQ(fit.scale, 5000);
}

TEST(PreviewFit, StoredValuesAreRoundedFromExtendedPrecision) {
  // Rounded first to 64 bits, these results land on a halfway point between two doubles and go
  // to the even one; rounded straight to 53 bits they would go up.
  PreviewFit fit = computePreviewFit(kExampleArea, {-(0x1p-53 + 0x1p-105), 1.0, 0, 3});
  EXPECT_EQ(fit.xSpread, 1.0);
  fit = computePreviewFit(kExampleArea, {0, 1, 0, 2.281});
  EXPECT_EQ(fit.scale, 65.760631302060489);  // 150 / 2.281; in doubles 65.760631302060503
}

TEST(PreviewDrawing, ExtendedPrecisionIsInEffect) {
  // A 53-bit x87 precision setting (as some runtimes leave it) would lose the 2^-60.
  volatile long double one = 1.0L;
  volatile long double tiny = 0x1p-60L;
  EXPECT_NE(one + tiny, one);
  EXPECT_EQ(std::numeric_limits<long double>::digits, 64);
}

TEST(PreviewDrawing, ASinglePointOrNoExtentsDrawsTheFrameAlone) {
  struct Case {
    const char* name;
    bool grid;
    const char* text;
  } cases[] = {
      {"2D single point", false, "5\n7\n"},
      {"2D all points on one", false, "1,1,1\n2,2,2\n"},
      {"3D single node", true, "XYZ,1\n2,3\n"},
      {"3D two nodes on one drawing-plane point", true, "XYZ,1,1\n1,5,5\n"},
      {"3D header only: no extents at all", true, "XYZ,1,2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(drawText(c.text, c.grid), kFrame);
  }
  EXPECT_FALSE(computePreviewFit(kExampleArea, Extents{}).drawable);
}

TEST(PreviewDrawing, EmptyOrInconsistentTablesDrawTheFrameAlone) {
  const Extents extents{0, 4, 0, 3};
  PointTable empty{};
  empty.lastColumnIndex = 3;
  empty.lastRowIndex = 2;
  EXPECT_EQ(describe(draw(false, kExampleArea, empty, extents)), kFrame);
  EXPECT_EQ(describe(draw(true, kExampleArea, empty, extents)), kFrame);

  // Indices beyond the table they claim to describe.
  Loaded l;
  load(&l, "XYZ,1,2\n1,0,0\n", true);
  l.table.lastColumnIndex = l.table.columnCapacity;
  EXPECT_EQ(describe(draw(true, kExampleArea, l.table, extents)), kFrame);
  l.table.lastColumnIndex = 2;
  l.table.lastRowIndex = l.table.rowCapacity + 1;
  EXPECT_EQ(describe(draw(true, kExampleArea, l.table, extents)), kFrame);

  // No header comma: no polyline even when the extents would allow one.
  Loaded noComma;
  load(&noComma, "XYZ\n1\n2\n", true);
  EXPECT_EQ(describe(draw(true, kExampleArea, noComma.table, extents)), kFrame);
}

TEST(PreviewDrawing, NonFiniteValuesNeverReachTheCanvas) {
  const std::string inf(400, '9');  // reads as +infinity
  struct Case {
    const char* name;
    bool grid;
    std::string text;
    std::string expected;
  } cases[] = {
      // Infinite xSpread: the width governs with scale 0; the inf - 0 times 0 is NaN, counted as 0.
      {"2D infinite X", false, "0," + inf + "\n0,1\n", kFrame + "|move 101 150|line 101 150"},
      {"2D X of both infinities", false, "-" + inf + "," + inf + "\n0,1\n", kFrame + "|move 101 150|line 101 150"},
      // Infinite ySpread: fitWidth is infinite, xOffset NaN: the fit fails.
      {"2D infinite Y", false, "0,1\n0," + inf + "\n", kFrame},
      {"3D infinite Z", true, "XYZ,1,2\n1,0," + inf + "\n2,0,0\n", kFrame},
      // u = inf + -inf is NaN: NaN extents.
      {"3D X and Y of opposite infinities", true, "XYZ," + inf + ",2\n-" + inf + ",0,0\n2,0,1\n", kFrame},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(drawText(c.text, c.grid), c.expected);
  }

}

TEST(PreviewDrawing, PixelsBeyondTheCoordinateRangeAreClamped) {
  // ySpread 2^-30 gives a scale of 150 x 2^30; the third Y, never read, is 0.0 and falls 0.5
  // below yMin: 8e10 pixels down, pulled in to the limit.
  Loaded l;
  load(&l, "0,0,0\n0.5,0.50000000093132257461547851562\n", false);
  std::vector<CanvasOp> ops = draw(false, kExampleArea, l.table, l.extents);
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[1].b, 150);
  EXPECT_EQ(ops[2].b, 0);
  EXPECT_EQ(ops[3].b, kPixelLimit);
  EXPECT_EQ(ops[3].a, ops[1].a);

  // Area values beyond the range: the frame is pulled in, the fit refused.
  const int32_t big = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(describe(draw(false, {big, big, big}, l.table, l.extents)),
            "frame " + std::to_string(kPixelLimit) + " 0 " + std::to_string(kPixelLimit) + ' ' + std::to_string(kPixelLimit));
}

// ---------------------------------------------------------------------------------------------
// The drawings against a plain computation, written out here, over random tables.

struct OwnedTable {
  std::vector<std::vector<double>> cells;
  std::vector<double*> rowPointers;
  PointTable table{};

  OwnedTable(int rows, int columns) : cells(static_cast<size_t>(rows), std::vector<double>(static_cast<size_t>(columns))) {
    for (auto& row : cells) rowPointers.push_back(row.data());
    table.rows = rowPointers.data();
    table.columnCapacity = columns;
    table.rowCapacity = rows - 1;
  }
  double& at(int r, int c) { return cells[static_cast<size_t>(r)][static_cast<size_t>(c)]; }
};

// Drawing-plane points of each polyline, in drawing order.
using Polyline = std::vector<std::pair<long double, long double>>;

std::vector<CanvasOp> referenceOps(const PreviewArea& area, const Extents& e, const std::vector<Polyline>& lines) {
  using LD = long double;
  std::vector<CanvasOp> ops{{CanvasOp::frame, area.left, 0, area.left + area.width + 1, area.height + 1}};
  double xSpread = static_cast<double>(LD{e.xMax} - LD{e.xMin});
  double ySpread = static_cast<double>(LD{e.yMax} - LD{e.yMin});
  if (xSpread == 0 && ySpread == 0) return ops;
  double fitWidth = static_cast<double>(LD{ySpread} * (4.0L / 3.0L));
  bool heightGoverns = fitWidth >= xSpread;
  double scale = static_cast<double>(heightGoverns ? static_cast<LD>(area.height) / LD{ySpread} : static_cast<LD>(area.width) / LD{xSpread});
  LD xOffset = area.left + (heightGoverns ? std::truncl((LD{fitWidth} - LD{xSpread}) * 0.5L * LD{scale}) : 0);
  auto limit = [](LD value) { return std::clamp(value, -LD{kPixelLimit}, LD{kPixelLimit}); };
  for (const Polyline& line : lines)
    for (size_t k = 0; k < line.size(); ++k) {
      LD column = limit(xOffset + limit(std::truncl((line[k].first - LD{e.xMin}) * LD{scale})));
      LD row = limit(static_cast<LD>(area.height) - limit(std::truncl((line[k].second - LD{e.yMin}) * LD{scale})));
      ops.push_back({k ? CanvasOp::lineTo : CanvasOp::moveTo, static_cast<int>(column), static_cast<int>(row), 0, 0});
    }
  return ops;
}

// Values of one random shape: a centre, a spread between 1e-150 and 1e150 (or near 1), and
// sometimes coarse steps so that equal values and zero spreads occur.
struct ValueSource {
  std::mt19937_64* rng;
  double centre, spread;
  bool coarse;
  double next() {
    double u = std::uniform_real_distribution<double>(-1, 1)(*rng);
    return centre + spread * (coarse ? std::round(u * 2) / 2 : u);
  }
};

ValueSource randomSource(std::mt19937_64* rng) {
  std::uniform_real_distribution<double> unit(-1, 1);
  auto oneIn4 = [&] { return (*rng)() % 4 == 0; };
  double magnitude = std::pow(10.0, oneIn4() ? 150 * unit(*rng) : 3 * unit(*rng));
  // A centre far from zero relative to the spread makes spreads of a few units in the last place.
  double centre = magnitude * unit(*rng) * (oneIn4() ? 1e12 : 3);
  return {rng, centre, magnitude, oneIn4()};
}

PreviewArea randomArea(std::mt19937_64* rng) {
  std::uniform_int_distribution<int> left(0, 400), size(1, 800);
  return {left(*rng), size(*rng), size(*rng)};
}

TEST(PreviewDrawing, MatchesAPlainComputationOnRandomShapes) {
  std::mt19937_64 rng(20240601);
  for (int trial = 0; trial < 8000; ++trial) {
    bool grid = trial % 2;
    PreviewArea area = randomArea(&rng);
    ValueSource xs = randomSource(&rng), ys = randomSource(&rng), zs = randomSource(&rng);
    int columns = std::uniform_int_distribution<int>(1, grid ? 9 : 40)(rng);
    int rows = std::uniform_int_distribution<int>(1, 9)(rng);
    OwnedTable t(rows + 3, columns + 1);
    std::vector<Polyline> lines;
    if (grid) {
      t.table.lastColumnIndex = columns;
      t.table.lastRowIndex = rows;
      for (int i = 1; i <= columns; ++i) t.at(0, i) = xs.next();
      for (int j = 1; j <= rows; ++j) {
        t.at(j, 0) = ys.next();
        for (int i = 1; i <= columns; ++i) t.at(j, i) = zs.next();
      }
      auto node = [&](int j, int i) {
        long double x = t.at(0, i), y = t.at(j, 0), z = t.at(j, i);
        return std::pair{(x + y) * static_cast<long double>(0.866), (y - x) * 0.5L + z};
      };
      for (int i = 1; i <= columns; ++i) {
        lines.emplace_back();
        for (int j = 1; j <= rows; ++j) lines.back().push_back(node(j, i));
      }
      for (int j = 1; j <= rows; ++j) {
        lines.emplace_back();
        for (int i = 1; i <= columns; ++i) lines.back().push_back(node(j, i));
      }
    } else {
      t.table.lastColumnIndex = columns - 1;
      lines.emplace_back();
      for (int k = 0; k < columns; ++k) {
        t.at(0, k) = xs.next();
        t.at(1, k) = ys.next();
        lines.back().push_back({t.at(0, k), t.at(1, k)});
      }
    }
    // Extents in doubles, as the readers keep them; every fifth shape leaves its last point out.
    Extents e{};
    bool started = false;
    for (const Polyline& line : lines)
      for (size_t k = 0; k < line.size(); ++k) {
        if (trial % 5 == 0 && &line == &lines.back() && k + 1 == line.size() && line.size() > 1) break;
        double h = static_cast<double>(line[k].first), v = static_cast<double>(line[k].second);
        if (!started) e = {h, h, v, v};
        started = true;
        e = {std::min(e.xMin, h), std::max(e.xMax, h), std::min(e.yMin, v), std::max(e.yMax, v)};
      }
    ASSERT_EQ(describe(draw(grid, area, t.table, e)), describe(referenceOps(area, e, lines))) << "trial " << trial;
  }
}

// Anything at all in the table and the extents: no crash, no coordinate beyond the limit.
TEST(PreviewDrawing, ArbitraryValuesStayWithinTheCoordinateRange) {
  std::mt19937_64 rng(7);
  const double oddValues[] = {kInf, -kInf, kNaN, 0.0, -0.0, 1e308, -1e308, 1e-308, 5e-324, 1.0};
  auto any = [&]() {
    if (rng() % 3 == 0) return oddValues[rng() % std::size(oddValues)];
    return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(rng), static_cast<int>(rng() % 2000) - 1000);
  };
  for (int trial = 0; trial < 2000; ++trial) {
    OwnedTable t(5, 4);
    t.table.lastColumnIndex = 3;
    t.table.lastRowIndex = 4;
    for (auto& row : t.cells)
      for (double& cell : row) cell = any();
    Extents e{any(), any(), any(), any()};
    std::uniform_int_distribution<int32_t> anyInt(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    PreviewArea area = trial % 2 ? PreviewArea{anyInt(rng), anyInt(rng), anyInt(rng)} : randomArea(&rng);
    for (bool grid : {false, true})
      for (const CanvasOp& op : draw(grid, area, t.table, e))
        for (int value : {op.a, op.b, op.c, op.d}) ASSERT_LE(std::abs(value), kPixelLimit) << "trial " << trial;
  }
}

}  // namespace
