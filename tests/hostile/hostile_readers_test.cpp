// The committed hostile inputs, read by both readers: table shape, indices, cells and extents,
// every double compared by its bits so that signed zeros and infinities count.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/input_file.h"
#include "tests/hostile/hostile_support.h"

namespace {

using namespace hostile;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double k1e308 = 1e308;

// u of the isometric plane, rounded once from extended precision.
double isoU(double x, double y) {
  return static_cast<double>((static_cast<long double>(x) + y) * static_cast<long double>(0.866));
}

constexpr Sizes kEmpty{0, 0, 0, 0};
constexpr Sizes kProfile(int lastColumn) { return {kTwoRowColumns, 2, lastColumn, 0}; }

struct Case {
  const char* file;
  bool grid;
  Sizes shape;  // columnCapacity, rowCapacity, lastColumnIndex, lastRowIndex
  std::vector<std::vector<double>> rows;  // leading cells of rows 0, 1, ...; the rest must be 0.0
  Extents extents;                        // NaN: any NaN
};

// Cells the case does not list must be +0.0 (zero-filled rows).
void checkTable(const Case& c, const Loaded& l) {
  const PointTable& t = l.table;
  EXPECT_EQ(l.result, ReadResult::ok);
  EXPECT_EQ(sizes(t), c.shape);
  if (c.shape[0] == 0) {
    EXPECT_EQ(t.rows, nullptr);
  } else {
    ASSERT_NE(t.rows, nullptr);
    for (int r = 0; r <= t.rowCapacity; ++r) {
      std::vector<double> expected(static_cast<size_t>(t.columnCapacity), 0.0);
      if (static_cast<size_t>(r) < c.rows.size())
        for (size_t k = 0; k < c.rows[r].size(); ++k) expected[k] = c.rows[r][k];
      EXPECT_EQ(showRow(t.rows[r], t.columnCapacity), showRow(expected.data(), t.columnCapacity)) << "row " << r;
    }
  }
  const double got[] = {l.extents.xMin, l.extents.xMax, l.extents.yMin, l.extents.yMax};
  const double want[] = {c.extents.xMin, c.extents.xMax, c.extents.yMin, c.extents.yMax};
  for (int k = 0; k < 4; ++k) {
    bool same = std::isnan(want[k]) ? std::isnan(got[k]) : sameBits(got[k], want[k]);
    EXPECT_TRUE(same) << "extents " << showExtents(l.extents) << ", expected " << showExtents(c.extents);
  }
}

const std::vector<Case>& corpus() {
  static const std::vector<Case> cases = {
      // Nothing at all: no grid; a two-row table of zeros whose only point is the origin.
      {"empty.csv", true, kEmpty, {}, {0, 0, 0, 0}},
      {"empty.csv", false, kProfile(0), {}, {0, 0, 0, 0}},
      // No line end anywhere: no grid; the comma-ended fields of the first line are stored but
      // no line was completed, and the unfinished "3" is lost.
      {"no-line-end.csv", true, kEmpty, {}, {0, 0, 0, 0}},
      {"no-line-end.csv", false, kProfile(0), {{0, 1.5, -2}}, {-2, 1.5, 0, 0}},
      // CR alone is no line end: the three lines are one, "XYZ,1,25,6,78,9,10", never ended.
      {"cr-only.csv", true, kEmpty, {}, {0, 0, 0, 0}},
      {"cr-only.csv", false, kProfile(0), {{0, 1, 25, 6, 78, 9}}, {0, 78, 0, 0}},
      // CR inside a number is dropped too: "1\r2" reads as 12.
      {"cr-inside.csv", false, kProfile(1), {{12, 3}, {4, 5}}, {3, 12, 4, 5}},
      {"cr-inside.csv", true, {2, 3, 1, 1}, {{12, 3}, {4, 5}}, {isoU(3, 4), isoU(3, 4), 5.5, 5.5}},
      // Ctrl-Z ends the data inside the third line: "6,7" is its last, unterminated, line; the
      // line ends after it were never counted.
      {"ctrl-z-grid.csv", true, {3, 3, 2, 2}, {{0, 1, 2}, {3, 4, 5}, {6, 7}}, {isoU(1, 3), isoU(1, 6), 5, 9.5}},
      {"ctrl-z-grid.csv", false, kProfile(2), {{0, 1, 2}, {3, 4, 5}}, {0, 2, 3, 5}},
      // The second line is cut after "5" and loses it.
      {"ctrl-z-profile.csv", false, kProfile(2), {{1, 2, 3}, {4}}, {1, 3, 4, 4}},
      {"ctrl-z-profile.csv", true, {3, 2, 2, 1}, {{1, 2, 3}, {4, 5}}, {isoU(2, 4), isoU(2, 4), 6, 6}},
      {"ctrl-z-first.csv", true, kEmpty, {}, {0, 0, 0, 0}},
      {"ctrl-z-first.csv", false, kProfile(0), {}, {0, 0, 0, 0}},
      // Every byte but digits, "+", "-", ".", ",", LF, CR and Ctrl-Z (NUL, controls, letters,
      // 0x80-0xFF) sits between the digits of the numbers and is dropped.
      {"dropped-bytes.csv", true, {3, 4, 2, 2}, {{0, 10, 25}, {-3, 4.5, 0}, {7, 8, 9}},
       {isoU(10, -3), isoU(25, 7), -14, 6.5}},
      {"dropped-bytes.csv", false, kProfile(2), {{0, 10, 25}, {-3, 4.5, 0}}, {0, 25, -3, 4.5}},
      // Code page 932: no byte of a double-byte character is a digit, sign, point or comma (trail
      // bytes 0x5C included); full-width digits, comma, minus and point read as nothing, and a lead
      // byte cut off by "5" leaves the 5.
      {"cp932.csv", true, {3, 4, 2, 2}, {{0, 10, 25}, {3, 0, -7}, {5, 6}},
       {isoU(10, 3), isoU(25, 3), -18, 3.5}},
      {"cp932.csv", false, kProfile(2), {{0, 10, 25}, {3, 0, -7}}, {0, 25, -7, 3}},
      // Every cell -0.0. u = (-0 + -0) x 0.866 keeps the sign; v = (-0 - -0) x 0.5 + -0 is +0.
      {"negative-zero.csv", true, {3, 4, 2, 2}, {{-0.0, -0.0, -0.0}, {-0.0, -0.0, -0.0}, {-0.0, -0.0, -0.0}},
       {-0.0, -0.0, 0.0, 0.0}},
      {"negative-zero.csv", false, kProfile(2), {{-0.0, -0.0, -0.0}, {-0.0, -0.0, -0.0}},
       {-0.0, -0.0, -0.0, -0.0}},
      // Signs and points without digits; a -0 is never strictly below the first cell's +0.
      {"signs.csv", false, kProfile(12),
       {{0, -0.0, 0, -0.0, -0.0, 0, 0, -0.0, 0.5, 5, 1.2, 0, -0.0}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
       {0, 5, 1, 13}},
      // 400 nines read as infinity and travel into the extents.
      {"beyond-range-profile.csv", false, kProfile(2), {{0, kInf, 2}, {1, 2, -kInf}}, {0, kInf, -kInf, 2}},
      // u of the first node is inf + -inf: NaN, and no later comparison with it succeeds.
      {"beyond-range-grid.csv", true, {3, 4, 2, 2}, {{0, kInf, 1}, {-kInf, 2, 3}, {1, 4, 5}},
       {kNaN, kNaN, -kInf, 5}},
      // X + Y = 2e308 overflows a double but not the extended sum: u stays finite.
      {"near-range-grid.csv", true, {3, 3, 2, 1}, {{0, k1e308, -k1e308}, {k1e308}},
       {0, isoU(k1e308, k1e308), 0, k1e308}},
      // An infinite X in a column that no data row reaches: stored, but outside the extents.
      {"inf-unreached-column.csv", true, {3, 4, 2, 2}, {{0, 1, kInf}, {0, 1}, {1, 2}},
       {isoU(1, 0), isoU(1, 1), 0.5, 2}},
      {"minus-inf-unreached-column.csv", true, {3, 4, 2, 2}, {{0, 1, -kInf}, {0, 1}, {1, 2}},
       {isoU(1, 0), isoU(1, 1), 0.5, 2}},
      {"only-commas.csv", true, {4, 4, 3, 2}, {}, {0, 0, 0, 0}},
      {"only-commas.csv", false, kProfile(3), {}, {0, 0, 0, 0}},
      // Leading blank lines: the profile is the origin and the data is never read; in a grid the
      // header is the corner alone and the data rows keep nothing but their Y.
      {"blank-then-data.csv", false, kProfile(0), {}, {0, 0, 0, 0}},
      {"blank-then-data.csv", true, {1, 5, 0, 3}, {{0}, {0}, {1}, {3}}, {0, 0, 0, 0}},
      {"clamp-below.csv", false, kProfile(2), {{1, 1.000000000000001, 1}, {5, 5.000000000000001}},
       {1, 1.000000000000001, 5, 5.000000000000001}},
      {"clamp-above.csv", false, kProfile(2), {{1, 1.000000000000001, 1}, {-5, -4.999999999999999}},
       {1, 1.000000000000001, -5, -4.999999999999999}},
  };
  return cases;
}

TEST(HostileReaders, CommittedInputsGiveTheirTables) {
  for (const Case& c : corpus()) {
    SCOPED_TRACE(std::string(c.file) + (c.grid ? " as a grid" : " as a two-row file"));
    std::string bytes = inputFile(c.file);
    Loaded l;
    load(&l, bytes, c.grid);
    checkTable(c, l);
  }
}

// A read replaces everything the previous one left, whatever that was.
TEST(HostileReaders, EachInputAfterAnotherGivesTheSameTable) {
  Loaded l;
  load(&l, inputFile("dropped-bytes.csv"), true);
  for (const Case& c : corpus()) {
    SCOPED_TRACE(std::string(c.file) + (c.grid ? " as a grid" : " as a two-row file"));
    load(&l, inputFile(c.file), c.grid);
    checkTable(c, l);
  }
}

}  // namespace

namespace {

// The readers through a file opened by path, as the program opens it, give what they give from
// the same bytes in memory.
TEST(HostileReaders, FilesReadByPathGiveTheSameTables) {
  for (const Case& c : corpus()) {
    SCOPED_TRACE(std::string(c.file) + (c.grid ? " as a grid" : " as a two-row file"));
    Loaded l;
    TextInput in;
    ASSERT_EQ(inputFileOpen(&in, (std::string(PV_TEST_DATA_DIR) + "/hostile/" + c.file).c_str()).kind, IoResult::ok);
    l.result = c.grid ? readGridFile(&in, &l.table, &l.extents) : readTwoRowFile(&in, &l.table, &l.extents);
    EXPECT_EQ(in.error, 0);
    textInputClose(&in);
    checkTable(c, l);
  }
}

}  // namespace
