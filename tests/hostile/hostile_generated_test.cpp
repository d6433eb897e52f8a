// Hostile inputs too large or too regular to commit, built in memory: thousands of blank lines,
// a 10 MB line, fields of 100 000 digits, a header of 10 million commas, every character of
// code page 932 inside the numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/hostile/hostile_support.h"

namespace {

using namespace hostile;

const double kInf = std::numeric_limits<double>::infinity();

double isoU(double x, double y) {
  return static_cast<double>((static_cast<long double>(x) + y) * static_cast<long double>(0.866));
}

std::string repeat(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t k = 0; k < times; ++k) out += text;
  return out;
}

// True when every cell of row r from column `from` on is +0.0.
bool zeroFrom(const PointTable& t, int r, int from) {
  for (int k = from; k < t.columnCapacity; ++k)
    if (!sameBits(t.rows[r][k], 0.0)) return false;
  return true;
}

TEST(HostileGenerated, ThousandsOfBlankLinesBecomeRowsOfZeros) {
  // Blank lines, with or without CR, blanks or tabs, are data rows whose only stored cell is Y.
  for (const char* blank : {"\n", "\r\n", " \t \r\n"}) {
    SCOPED_TRACE(testing::PrintToString(blank));
    std::string text = "XYZ,1,2\r\n" + repeat(blank, 5000) + "3,4,5\r\n";
    Loaded l;
    load(&l, text, true);
    ASSERT_EQ(l.result, ReadResult::ok);
    const PointTable& t = l.table;
    EXPECT_EQ(sizes(t), (Sizes{3, 5003, 2, 5001}));
    EXPECT_EQ(showRow(t.rows[0], 3), "0 1 2");
    for (int r = 1; r <= 5000; ++r) ASSERT_TRUE(zeroFrom(t, r, 0)) << r;
    EXPECT_EQ(showRow(t.rows[5001], 3), "3 4 5");
    // Only the last row's nodes count: (1, 3, 4) and (2, 3, 5).
    EXPECT_EQ(showExtents(l.extents), showExtents({isoU(1, 3), isoU(2, 3), 5, 5.5}));

    // The blank rows are drawn at the node (X, 0, 0), outside the frame.
    std::vector<CanvasOp> ops = draw(true, t, l.extents);
    ASSERT_EQ(ops.size(), 1 + 2 * 2 * 5001u);
    auto at = [&](size_t k, size_t n) { return describe({ops.begin() + k, ops.begin() + k + n}); };
    EXPECT_EQ(at(0, 3), kFrame + "|move -498 1420|line -498 1420");
    EXPECT_EQ(at(5000, 3), "line -498 1420|line 101 150|move -298 1535");  // column 1 ends, column 2
    EXPECT_EQ(at(10001, 3), "line -298 1535|line 300 35|move -498 1420");  // column 2 ends, row 1
    EXPECT_EQ(at(20001, 4), "move -498 1420|line -298 1535|move 101 150|line 300 35");
    for (DxfMethod m : {kLine, kMesh, kFace}) EXPECT_EQ(document(t, m), referenceDocument(t, m));
    EXPECT_EQ(summarize(t, kFace).lines, 2 * (4 + 17 * 1 * 5000u));
  }
  // A two-row file that begins with blank lines is the origin alone; its data is never read.
  Loaded l;
  load(&l, repeat("\r\n", 5000) + "1,2\r\n3,4\r\n", false);
  EXPECT_EQ(l.table.lastColumnIndex, 0);
  EXPECT_TRUE(zeroFrom(l.table, 0, 0) && zeroFrom(l.table, 1, 0));
  EXPECT_EQ(showExtents(l.extents), "0 0 0 0");
}

TEST(HostileGenerated, ATenMegabyteLineWithoutALineEnd) {
  const size_t pairs = size_t{1} << 20;
  std::string line = repeat("1.25,-2.5,", pairs);  // 10 MiB
  ASSERT_EQ(line.size(), 10u << 20);
  Loaded grid;
  load(&grid, line, true);
  EXPECT_EQ(grid.result, ReadResult::ok);
  EXPECT_EQ(grid.table.rows, nullptr);
  EXPECT_EQ(grid.table.columnCapacity, 0);

  // Every comma-ended field is kept, though no line was completed.
  Loaded profile;
  load(&profile, line, false);
  ASSERT_EQ(profile.result, ReadResult::ok);
  const PointTable& t = profile.table;
  EXPECT_EQ(t.columnCapacity, static_cast<int>(2 * pairs));
  EXPECT_EQ(t.lastColumnIndex, 0);
  for (size_t k = 0; k < 2 * pairs; ++k) ASSERT_EQ(t.rows[0][k], k % 2 ? -2.5 : 1.25) << k;
  EXPECT_TRUE(zeroFrom(t, 1, 0) && zeroFrom(t, 2, 0));
  EXPECT_EQ(showExtents(profile.extents), "-2.5 1.25 0 0");
  EXPECT_EQ(describe(draw(false, t, profile.extents)), kFrame + "|move 301 150");
  const std::vector<std::string> entities = {"0|POLYLINE", "8|plotvane", "66|1",         "70|0",
                                             "0|VERTEX",   "10|1.250000", "20|0.000000", "0|SEQEND"};
  EXPECT_EQ(document(t, k2D), groups(kDocumentStart + entities + kDocumentEnd));
}

TEST(HostileGenerated, ATenMegabyteFirstLineGivesAProfileOfTwoMillionPoints) {
  const size_t pairs = size_t{1} << 20;
  const int32_t last = static_cast<int32_t>(2 * pairs);
  Loaded l;
  load(&l, repeat("1.25,-2.5,", pairs) + "7\r\n3\r\n", false);
  ASSERT_EQ(l.result, ReadResult::ok);
  const PointTable& t = l.table;
  EXPECT_EQ(t.lastColumnIndex, last);
  EXPECT_EQ(t.columnCapacity, 2 * last);
  EXPECT_EQ(t.rows[0][last], 7);
  EXPECT_EQ(t.rows[1][0], 3);
  EXPECT_TRUE(zeroFrom(t, 0, last + 1) && zeroFrom(t, 1, 1) && zeroFrom(t, 2, 0));
  EXPECT_EQ(showExtents(l.extents), "-2.5 7 3 3");

  // The unread Y values are 0.0, below the extents 3..3: width governs, scale 200 / 9.5.
  std::vector<CanvasOp> ops = draw(false, t, l.extents);
  ASSERT_EQ(ops.size(), 2 + static_cast<size_t>(last));
  EXPECT_EQ(describe({ops.begin(), ops.begin() + 4}), kFrame + "|move 179 150|line 101 213|line 179 213");
  EXPECT_EQ(describe({ops.end() - 2, ops.end()}), "line 101 213|line 301 213");

  DocumentSummary s = summarize(t, k2D);
  EXPECT_EQ(s.lines, 2 * (4 + 3 * static_cast<uint64_t>(last) + 8));
  EXPECT_FALSE(s.bareLineFeed);
  const std::string end = groups({"0|VERTEX", "10|7.000000", "20|0.000000", "0|SEQEND", "0|ENDSEC", "0|EOF"});
  ASSERT_GE(s.tail.size(), end.size());
  EXPECT_EQ(s.tail.substr(s.tail.size() - end.size()), end);
}

TEST(HostileGenerated, FieldsOfAHundredThousandDigitsConvertExactly) {
  const std::string tie = "1.00000000000000011102230246251565404236316680908203125";  // 1 + 2^-53
  struct Field {
    std::string text;
    double value;
  };
  // Every text is longer than the 64 KiB blocks the input is read in.
  const Field header[] = {
      {"XYZ", 0},
      {std::string(99999, '0') + "2", 2},
      {tie + std::string(100000, '0') + "1", std::nextafter(1.0, 2.0)},  // just above the tie
  };
  const Field row1[] = {
      {std::string(99997, '0') + "3.5", 3.5},
      {"-0." + std::string(99998, '0') + "1", -0.0},  // below the smallest double: a signed zero
      {"1" + std::string(99999, '0'), kInf},
  };
  const Field row2[] = {
      {"." + std::string(100000, '9'), 1.0},
      {std::string(100000, '-') + "5", -0.0},  // a second sign ends the number before any digit
      {"1" + std::string(100000, '.') + "5", 1.0},
  };
  std::string text;
  for (const auto* line : {header, row1, row2}) {
    for (int k = 0; k < 3; ++k) text += (k ? "," : "") + line[k].text;
    text += "\r\n";
  }
  Loaded l;
  load(&l, text, true);
  ASSERT_EQ(l.result, ReadResult::ok);
  EXPECT_EQ(l.table.lastColumnIndex, 2);
  EXPECT_EQ(l.table.lastRowIndex, 2);
  int r = 0;
  for (const auto* line : {header, row1, row2}) {
    for (int k = 0; k < 3; ++k)
      EXPECT_TRUE(sameBits(l.table.rows[r][k], line[k].value))
          << "cell " << r << "," << k << ": " << show(l.table.rows[r][k]);
    ++r;
  }
  // u over (2, 3.5), (1 + 2^-52, 3.5), (2, 1), (1 + 2^-52, 1); v reaches +inf through Z.
  const double x2 = std::nextafter(1.0, 2.0);
  EXPECT_EQ(showExtents(l.extents), showExtents({isoU(x2, 1), isoU(2, 3.5), -0.5, kInf}));
  EXPECT_EQ(describe(draw(true, l.table, l.extents)), kFrame);  // ySpread infinite

  // The same lines as a profile.
  Loaded p;
  load(&p, text, false);
  EXPECT_EQ(showRow(p.table.rows[0], 4), "0 2 " + show(x2) + " 0");
  EXPECT_EQ(showRow(p.table.rows[1], 4), "3.5 -0 +INF 0");
  EXPECT_EQ(showExtents(p.extents), "0 2 -0 +INF");
  EXPECT_EQ(document(p.table, k2D), referenceDocument(p.table, k2D));
}

// columnCapacity x (rowCapacity + 1) doubles: 10 million columns and a few rows fit, 10 million
// columns and 10 000 rows (800 GB) do not.
TEST(HostileGenerated, AHeaderOfTenMillionCommas) {
  const int32_t commas = 10'000'000;
  const std::string header = "XYZ" + std::string(commas, ',') + "\r\n";
  {
    Loaded l;
    load(&l, header + "5,6\r\n", true);
    ASSERT_EQ(l.result, ReadResult::ok);
    const PointTable& t = l.table;
    EXPECT_EQ(sizes(t), (Sizes{commas + 1, 3, commas, 1}));
    EXPECT_TRUE(zeroFrom(t, 0, 0));
    EXPECT_EQ(showRow(t.rows[1], 3), "5 6 0");
    EXPECT_TRUE(zeroFrom(t, 1, 2) && zeroFrom(t, 2, 0) && zeroFrom(t, 3, 0));
    // A single node: (0, 5, 6).
    EXPECT_EQ(showExtents(l.extents), showExtents({isoU(0, 5), isoU(0, 5), 8.5, 8.5}));
    EXPECT_EQ(describe(draw(true, t, l.extents)), kFrame);
    EXPECT_EQ(document(t, kFace), groups(kDocumentStart + kDocumentEnd));  // one data row: no cell
  }
  {
    Loaded l;
    load(&l, header + repeat("1,2\r\n", 10000), true);
    if (l.result == ReadResult::outOfMemory) {
      EXPECT_EQ(l.table.rows, nullptr);
      EXPECT_EQ(l.table.columnCapacity, 0);
      EXPECT_EQ(l.table.rowCapacity, 0);
    } else {
      // A machine with that much memory to spare reads it whole.
      EXPECT_EQ(l.table.lastColumnIndex, commas);
      EXPECT_EQ(l.table.lastRowIndex, 10000);
      EXPECT_EQ(l.table.rows[10000][0], 1);
    }
  }
}

// Every double-byte character of code page 932 (lead 0x81-0x9F or 0xE0-0xFC, trail 0x40-0x7E or
// 0x80-0xFC) and every single-byte katakana, around and inside the numbers of a row: none of
// their bytes is a digit, sign, point, comma or line end, so every row reads 4.5, -6.
TEST(HostileGenerated, EveryCodePage932CharacterIsDroppedWhole) {
  std::vector<std::string> characters;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail)
      if (trail != 0x7F) characters.push_back({static_cast<char>(lead), static_cast<char>(trail)});
  }
  for (int kana = 0xA1; kana <= 0xDF; ++kana) characters.push_back(std::string(1, static_cast<char>(kana)));
  std::string text = "XYZ,1\r\n";
  for (const std::string& c : characters)
    text += c + "4" + c + "." + c + "5" + c + "," + c + "-" + c + "6" + c + "\r\n";
  Loaded l;
  load(&l, text, true);
  ASSERT_EQ(l.result, ReadResult::ok);
  const int rows = static_cast<int>(characters.size());
  EXPECT_EQ(l.table.lastRowIndex, rows);
  EXPECT_EQ(l.table.rowCapacity, rows + 2);
  for (int r = 1; r <= rows; ++r)
    ASSERT_EQ(showRow(l.table.rows[r], 2), "4.5 -6")
        << "row " << r << " character " << testing::PrintToString(characters[r - 1]);
  EXPECT_EQ(showExtents(l.extents), showExtents({isoU(1, 4.5), isoU(1, 4.5), -4.25, -4.25}));
}

TEST(HostileGenerated, ASecondLineLongerThanTheTable) {
  std::string second;
  for (int k = 0; k < 300; ++k) second += (k ? "," : "") + std::to_string(k);
  Loaded l;
  load(&l, "1,2\r\n" + second + "\r\n", false);
  ASSERT_EQ(l.result, ReadResult::ok);
  const PointTable& t = l.table;
  EXPECT_EQ(t.columnCapacity, 512);
  EXPECT_EQ(t.lastColumnIndex, 1);
  EXPECT_EQ(showRow(t.rows[0], 2), "1 2");
  EXPECT_TRUE(zeroFrom(t, 0, 2) && zeroFrom(t, 2, 0));
  for (int k = 0; k < 300; ++k) ASSERT_EQ(t.rows[1][k], k);
  EXPECT_TRUE(zeroFrom(t, 1, 300));
  // The Y values past the first line widen the extents but are not drawn or written.
  EXPECT_EQ(showExtents(l.extents), "1 2 0 299");
  EXPECT_EQ(describe(draw(false, t, l.extents)), kFrame + "|move 200 150|line 200 150");
  EXPECT_EQ(document(t, k2D), referenceDocument(t, k2D));
  EXPECT_EQ(summarize(t, k2D).lines, 2 * (4 + 3 * 1 + 8u));
}

}  // namespace

namespace {

// The widening of a two-row table at its boundaries: lines of 127 to 257 fields, the second one
// field longer than the first.
TEST(HostileGenerated, TwoRowLinesAroundTheTableWidths) {
  struct Case {
    int fields, columnCapacity;
  } cases[] = {{127, 128}, {128, 256}, {129, 256}, {255, 256}, {256, 512}, {257, 512}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields);
    std::string x, y;
    for (int k = 0; k < c.fields; ++k) x += std::to_string(k) + ",";
    x.back() = '\n';
    for (int k = 0; k <= c.fields; ++k) y += std::to_string(-k) + (k < c.fields ? "," : "\n");
    Loaded l;
    load(&l, x + y, false);
    ASSERT_EQ(l.result, ReadResult::ok);
    const PointTable& t = l.table;
    EXPECT_EQ(t.columnCapacity, c.columnCapacity);
    EXPECT_EQ(t.lastColumnIndex, c.fields - 1);
    bool same = true;
    for (int k = 0; k < c.fields; ++k) same = same && t.rows[0][k] == k;
    for (int k = 0; k <= c.fields; ++k) same = same && t.rows[1][k] == -k;
    EXPECT_TRUE(same);
    EXPECT_TRUE(zeroFrom(t, 0, c.fields) && zeroFrom(t, 1, c.fields + 1) && zeroFrom(t, 2, 0));
    EXPECT_EQ(showExtents(l.extents), showExtents({0, c.fields - 1.0, -static_cast<double>(c.fields), 0}));
  }
}

// Numbers whose "%f" texts have every length from 8 to 317 bytes, in every writer: the texts a
// writer formats once and copies into several records must come out whole.
TEST(HostileGenerated, NumberTextsOfEveryLengthInEveryWriter) {
  std::string text = "XYZ";
  for (int k = 0; k <= 308; ++k) text += ",1" + std::string(static_cast<size_t>(k), '0');
  text += "\r\n-1" + std::string(308, '0');
  for (int k = 0; k <= 308; ++k) text += ",-" + std::string(static_cast<size_t>(308 - k), '7') + ".5";
  text += "\r\n0.25";
  for (int k = 0; k <= 308; ++k) text += "," + std::to_string(k) + std::string(static_cast<size_t>(k), '3');
  text += "\r\n";
  Loaded l;
  load(&l, text, true);
  ASSERT_EQ(l.result, ReadResult::ok);
  ASSERT_EQ(l.table.lastColumnIndex, 309);
  ASSERT_EQ(l.table.lastRowIndex, 2);
  for (DxfMethod m : {kLine, kMesh, kFace, k2D}) EXPECT_EQ(document(l.table, m), referenceDocument(l.table, m));
}

}  // namespace
