#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "viewer/dxf_writer.h"
#include "viewer/point_table.h"
#include "tests/viewer/dxf_text.h"
#include "tests/test_files.h"
#include "tests/viewer/loaded_table.h"

namespace {

using Row = std::vector<double>;
const double kInf = std::numeric_limits<double>::infinity();

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(GridReader, ReadsTheThreeLineExampleWithAndWithoutAFinalLineEnd) {
  // Without the final line end one line end fewer is counted, so one spare row fewer.
  struct Case {
    const char* text;
    int rowCapacity;
  } cases[] = {{"XYZ,1,2,3\r\n10,5,6,7\r\n20,8,9,10\r\n", 4}, {"XYZ,1,2,3\n10,5,6,7\n20,8,9,10", 3}};
  for (const Case& c : cases) {
    Loaded l;
    load(&l, c.text, true);
    ASSERT_EQ(l.result, ReadResult::ok);
    EXPECT_EQ(sizes(l.table), (Sizes{4, c.rowCapacity, 3, 2}));
    EXPECT_EQ(l.row(0, 4), (Row{0, 1, 2, 3}));
    EXPECT_EQ(l.row(1, 4), (Row{10, 5, 6, 7}));
    EXPECT_EQ(l.row(2, 4), (Row{20, 8, 9, 10}));
    EXPECT_EQ(l.row(c.rowCapacity, 4), (Row{0, 0, 0, 0}));
    // u = (X + Y) * 0.866 over the nodes: min at (1, 10), max at (3, 20); v = (Y - X) / 2 + Z.
    EXPECT_EQ(l.extents.xMin, static_cast<double>((1.0L + 10.0L) * 0.866));
    EXPECT_EQ(l.extents.xMax, static_cast<double>((3.0L + 20.0L) * 0.866));
    EXPECT_EQ(l.extents.yMin, 9.5);
    EXPECT_EQ(l.extents.yMax, 18.5);
  }
}

TEST(GridReader, ScansFieldsAndLinesAsTheFormatSays) {
  struct Case {
    const char* name;
    const char* text;
    int lastColumn, lastRow, columnCapacity, rowCapacity;
    Row header, row1, row2;
  } cases[] = {
      {"header ending in a comma", "XYZ,1,2,\n5,1,2,3\n", 3, 1, 4, 3, {0, 1, 2, 0}, {5, 1, 2, 3}, {0, 0, 0, 0}},
      {"blank line is a row of zeros", "XYZ,1,2\n\n7,1,2\n", 2, 2, 3, 4, {0, 1, 2}, {0, 0, 0}, {7, 1, 2}},
      {"dropped bytes", "XYZ, 1.5 ,\"2\",3m\n5,E139.5,12e,x\n", 3, 1, 4, 3, {0, 1.5, 2, 3}, {5, 139.5, 12, 0}, {0, 0, 0, 0}},
      // A spreadsheet's pivot as pandas and numpy write it.
      {"exponents", "XYZ,5e+05,5.001e5,2E-05\n5.123400000000000000e+06,-1e-3,1e400,1e-400\n", 3, 1, 4, 3,
       {0, 500000, 500100, 0.00002}, {5123400, -0.001, kInf, 0}, {0, 0, 0, 0}},
      {"long lines lose fields", "XYZ,1\n5,6,7,8,9\n", 1, 1, 2, 3, {0, 1}, {5, 6}, {0, 0}},
      {"short lines keep zeros", "XYZ,1,2,3\n5,6\n", 3, 1, 4, 3, {0, 1, 2, 3}, {5, 6, 0, 0}, {0, 0, 0, 0}},
      {"last line without a line end", "XYZ,1\n5,6\n7,8", 1, 2, 2, 3, {0, 1}, {5, 6}, {7, 8}},
      {"unterminated last line of one field", "XYZ,1,2\n10,3,4\n20", 2, 2, 3, 3, {0, 1, 2}, {10, 3, 4}, {20, 0, 0}},
      {"unterminated last line of only a comma", "XYZ,1\n5,6\n,", 1, 2, 2, 3, {0, 1}, {5, 6}, {0, 0}},
      {"dropped bytes complete no line", "XYZ,1\n5,6\n  ", 1, 1, 2, 3, {0, 1}, {5, 6}, {0, 0}},
      {"CR-only lines are one line", "XYZ,1\r5,6\r", 0, 0, 0, 0, {}, {}, {}},
      {"Ctrl-Z ends the data", "XYZ,1\n5,6\n\x1a" "7,8\n", 1, 1, 2, 3, {0, 1}, {5, 6}, {0, 0}},
      {"no comma in the header", "XYZ\n5,6\n7,8\n", 0, 2, 1, 4, {0}, {5}, {7}},
      {"header only", "XYZ,1,2\n", 2, 0, 3, 2, {0, 1, 2}, {0, 0, 0}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded l;
    load(&l, c.text, true);
    ASSERT_EQ(l.result, ReadResult::ok);
    EXPECT_EQ(sizes(l.table), (Sizes{c.columnCapacity, c.rowCapacity, c.lastColumn, c.lastRow}));
    if (c.columnCapacity == 0) continue;
    EXPECT_EQ(l.row(0, c.columnCapacity), c.header);
    EXPECT_EQ(l.row(1, c.columnCapacity), c.row1);
    EXPECT_EQ(l.row(2, c.columnCapacity), c.row2);
  }
}

// A grid file as pandas' pivot and R's matrix write it (tests/data/exports/README.md): exponents
// and quoted names read as the same table as the grid in fixed notation.
TEST(GridReader, ReadsWhatOtherProgramsExport) {
  const std::string exports = PV_TEST_DATA_DIR "/exports/";
  Loaded reference;
  loadOk(&reference, readFile(exports + "pivot.ref.csv"), true);
  ASSERT_EQ(sizes(reference.table), (Sizes{21, 17, 20, 15}));
  for (const char* file : {"pandas-pivot.csv", "r-pivot.csv"}) {
    Loaded l;
    loadOk(&l, readFile(exports + file), true);
    ASSERT_EQ(sizes(l.table), sizes(reference.table)) << file;
    for (int r = 0; r <= reference.table.lastRowIndex; ++r)
      EXPECT_EQ(l.row(r, 21), reference.row(r, 21)) << file << " row " << r;
    EXPECT_TRUE(std::memcmp(&l.extents, &reference.extents, sizeof l.extents) == 0) << file;
  }
}

// A file that another program rewrites between the two passes: from the second rewind on (the
// count rewinds first) it holds the rewritten bytes.
struct RewrittenFile {
  const std::string *counted, *parsed;
  int rewinds;
  size_t at;
};
int64_t readRewritten(void* context, unsigned char* data, size_t size, int*) {
  auto* file = static_cast<RewrittenFile*>(context);
  const std::string& text = file->rewinds >= 2 ? *file->parsed : *file->counted;
  size_t n = std::min(size, text.size() - std::min(file->at, text.size()));
  std::memcpy(data, text.data() + file->at, n);
  file->at += n;
  return static_cast<int64_t>(n);
}
int rewindRewritten(void* context) {
  auto* file = static_cast<RewrittenFile*>(context);
  ++file->rewinds;
  file->at = 0;
  return 0;
}
constexpr TextSource kRewrittenFile{readRewritten, rewindRewritten, [](void*) {}};

// Another program may rewrite the file between the counting pass and the parsing pass: every
// index still lies inside the table the count built, so every writer and the preview stay in it.
TEST(GridReader, AFileRewrittenBetweenPassesKeepsEveryIndexInsideTheTable) {
  struct Case {
    const char* name;
    std::string counted, parsed;
    int lastColumn, lastRow;
  } cases[] = {
      {"header gains a field", "XYZ,1,2\n10,3,4\n", "XYZ,1,2,3\n10,3,4,5\n", 2, 1},
      {"header and rows grow", "XYZ,1\n10,3\n", "XYZ,1,2,3\n10,3,4,5\n20,1\n30,2\n40,1\n50,2\n", 1, 3},
      {"the file shrinks", "XYZ,1,2,3\n1,1,1,1\n2,2,2,2\n", "XYZ,1\n", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RewrittenFile file{&c.counted, &c.parsed, 0, 0};
    TextInput in;
    ASSERT_TRUE(textInputOpenSource(&in, &kRewrittenFile, &file));
    Loaded l;
    ASSERT_EQ(readGridFile(&in, &l.table, &l.extents), ReadResult::ok);
    textInputClose(&in);
    EXPECT_EQ(l.table.lastColumnIndex, c.lastColumn);
    EXPECT_EQ(l.table.lastRowIndex, c.lastRow);
    EXPECT_LT(l.table.lastColumnIndex, l.table.columnCapacity);
    EXPECT_LE(l.table.lastRowIndex, l.table.rowCapacity);
    for (DxfMethod method : {kLine, kMesh, kFace}) document(l.table, method);
  }
}

TEST(GridReader, AFileWithoutACompleteHeaderLineLeavesAnEmptyTable) {
  for (const char* text : {"", "XYZ,1,2", "\x1a\n", "\r\r"}) {
    Loaded l;
    load(&l, text, true);
    EXPECT_EQ(l.result, ReadResult::ok);
    EXPECT_EQ(l.table.rows, nullptr);
    EXPECT_EQ(l.table.columnCapacity, 0);
    EXPECT_EQ(l.table.lastColumnIndex, 0);
    EXPECT_EQ(l.table.lastRowIndex, 0);
  }
}

TEST(GridReader, EveryReadStartsFromFreshIndicesAndExtents) {
  Loaded l;
  load(&l, "XYZ,1,2,3\n10,5,6,7\n20,8,9,10\n", true);
  load(&l, "XYZ,1\n", true);  // no data row completed
  EXPECT_EQ(l.table.lastColumnIndex, 1);
  EXPECT_EQ(l.table.lastRowIndex, 0);
  EXPECT_EQ(l.extents.xMin, 0.0);
  EXPECT_EQ(l.extents.yMax, 0.0);
  load(&l, "1,2\n3,4\n", false);
  load(&l, "1,2", false);  // no line end: no line was ever completed
  EXPECT_EQ(l.table.lastColumnIndex, 0);
  EXPECT_EQ(l.extents.xMin, 1.0);  // the comma stored the first field
  EXPECT_EQ(l.extents.yMin, 0.0);
}

TEST(GridReader, BlankLinesDoNotWidenTheExtentsAndTheFirstCellStartsThem) {
  Loaded l;
  load(&l, "XYZ,100\n\n-5,-7\n", true);
  // Only the cell (2, 1) counts: u = (100 - 5) * 0.866, v = (-5 - 100) / 2 - 7.
  double u = static_cast<double>((100.0L - 5.0L) * 0.866);
  EXPECT_EQ(l.extents.xMin, u);
  EXPECT_EQ(l.extents.xMax, u);
  EXPECT_EQ(l.extents.yMin, -59.5);
  EXPECT_EQ(l.extents.yMax, -59.5);
}

TEST(GridReader, IsometricValuesAreRoundedOnceFromExtendedPrecision) {
  // X + Y = 0.1 + 0.2 is not representable; rounding it to double first would give another u.
  Loaded l;
  load(&l, "XYZ,0.1\n0.2,0.3\n", true);
  long double exact = (0.1L + 0.2L);  // the literals are long double here: redo from doubles
  exact = (static_cast<long double>(0.1) + static_cast<long double>(0.2)) * 0.866;
  EXPECT_EQ(l.extents.xMin, static_cast<double>(exact));
  long double v = (static_cast<long double>(0.2) - static_cast<long double>(0.1)) * 0.5L + static_cast<long double>(0.3);
  EXPECT_EQ(l.extents.yMin, static_cast<double>(v));
}

TEST(GridReader, HugeFieldsReadAsInfinityWithoutHarm) {
  Loaded l;
  std::string huge(400, '9');
  load(&l, "XYZ,1\n" + huge + ",-" + huge + "\n", true);
  ASSERT_EQ(l.result, ReadResult::ok);
  EXPECT_TRUE(std::isinf(l.table.rows[1][0]));
  EXPECT_TRUE(std::isinf(l.table.rows[1][1]) && l.table.rows[1][1] < 0);
}

TEST(TwoRowReader, ReadsProfilesAsTheFormatSays) {
  struct Case {
    const char* name;
    const char* text;
    int lastColumn;
    Row x, y;
    Extents extents;
  } cases[] = {
      {"plain", "0,1,2\r\n5,6,7\r\n", 2, {0, 1, 2}, {5, 6, 7}, {0, 2, 5, 7}},
      {"second line shorter", "1,2,3,4,5\n9,8,7\n", 4, {1, 2, 3, 4, 5}, {9, 8, 7, 0, 0}, {1, 5, 7, 9}},
      {"first line ends in a comma", "1,2,3,\n4,5,6,7\n", 3, {1, 2, 3, 0}, {4, 5, 6, 7}, {0, 3, 4, 7}},
      {"second line without a line end loses its last value", "1,2\n3,4", 1, {1, 2}, {3, 0}, {1, 2, 3, 3}},
      {"values beyond the first line widen Y", "1,2\n3,4,-50\n", 1, {1, 2, 0}, {3, 4, -50}, {1, 2, -50, 4}},
      {"lines after the second are never read", "1\n2\n3,4,5\n", 0, {1}, {2}, {1, 1, 2, 2}},
      {"negative zero", "-,-0\n-0.0,1\n", 1, {-0.0, -0.0}, {-0.0, 1}, {-0.0, -0.0, -0.0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded l;
    load(&l, c.text, false);
    ASSERT_EQ(l.result, ReadResult::ok);
    EXPECT_EQ(l.table.columnCapacity, kTwoRowColumns);
    EXPECT_EQ(l.table.rowCapacity, 2);
    EXPECT_EQ(l.table.lastColumnIndex, c.lastColumn);
    for (size_t k = 0; k < c.x.size(); ++k) {
      EXPECT_TRUE(sameBits(l.table.rows[0][k], c.x[k])) << "x" << k;
      EXPECT_TRUE(sameBits(l.table.rows[1][k], c.y[k])) << "y" << k;
    }
    EXPECT_EQ(l.row(2, kTwoRowColumns), Row(kTwoRowColumns, 0.0));
    EXPECT_EQ(l.extents.xMin, c.extents.xMin);
    EXPECT_EQ(l.extents.xMax, c.extents.xMax);
    EXPECT_EQ(l.extents.yMin, c.extents.yMin);
    EXPECT_EQ(l.extents.yMax, c.extents.yMax);
  }
}

TEST(TwoRowReader, KeepsEveryFieldOfLinesLongerThanTheTable) {
  std::string x, y;
  const int n = 1000;
  for (int k = 0; k < n; ++k) {
    x += (k ? "," : "") + std::to_string(k);
    y += (k ? "," : "") + std::to_string(-k);
  }
  Loaded l;
  load(&l, x + "\n" + y + "\n", false);
  ASSERT_EQ(l.result, ReadResult::ok);
  EXPECT_GE(l.table.columnCapacity, n);
  EXPECT_EQ(l.table.lastColumnIndex, n - 1);
  for (int k = 0; k < n; ++k) {
    ASSERT_EQ(l.table.rows[0][k], k);
    ASSERT_EQ(l.table.rows[1][k], -k);
  }
  EXPECT_EQ(l.extents.xMax, n - 1);
  EXPECT_EQ(l.extents.yMin, -(n - 1));
}

TEST(Readers, AFieldOfAnyLengthConvertsExactly) {
  std::string longField = "0." + std::string(5000, '0') + "1" + std::string(3000, '7');
  std::string text = "XYZ,1\n" + std::string(600, '0') + "12.5," + longField + "\n";
  Loaded l;
  load(&l, text, true);
  EXPECT_EQ(l.table.rows[1][0], 12.5);
  EXPECT_EQ(l.table.rows[1][1], 0.0);  // far below the smallest double
  load(&l, std::string(2000, '1') + "\n1\n", false);
  EXPECT_TRUE(std::isinf(l.table.rows[0][0]));
}

TEST(Readers, WideHeadersAreReadWhole) {
  std::string header = "XYZ" + std::string(1 << 20, ',') + "\n";
  Loaded l;
  load(&l, header + "1\n", true);
  ASSERT_EQ(l.result, ReadResult::ok);
  EXPECT_EQ(l.table.columnCapacity, (1 << 20) + 1);
  EXPECT_EQ(l.table.lastColumnIndex, 1 << 20);
}

TEST(Readers, ATableTooLargeForMemoryTakesTheMemoryPath) {
  // 2^20 columns times 2^20 rows is 8 TB of cells: refused, never a crash, and no table left.
  std::string text = "XYZ" + std::string(1 << 20, ',') + "\n" + std::string(1 << 20, '\n');
  Loaded l;
  load(&l, text, true);
  EXPECT_EQ(l.result, ReadResult::outOfMemory);
  EXPECT_EQ(l.table.rows, nullptr);
  EXPECT_EQ(l.table.columnCapacity, 0);
}

TEST(ReleaseTable, IsHarmlessTwice) {
  Loaded l;
  load(&l, "XYZ,1\n2,3\n", true);
  releaseTable(&l.table);
  releaseTable(&l.table);
  EXPECT_EQ(l.table.rows, nullptr);
  EXPECT_EQ(l.table.columnCapacity, 0);
  EXPECT_EQ(l.table.rowCapacity, 0);
}

}  // namespace
