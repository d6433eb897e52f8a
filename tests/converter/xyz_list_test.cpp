#include "converter/xyz_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/field_scanner.h"
#include "common/numbers.h"
#include "tests/converter/converter_test_support.h"
#include "tests/viewer/loaded_table.h"
#include "viewer/point_table.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

std::vector<XyzPoint> scan(const std::string& list, int64_t capacity = 1000) {
  TextInput in;
  textInputOpenMemory(&in, list.data(), list.size());
  std::vector<XyzPoint> points(static_cast<size_t>(capacity));
  int64_t count = readXyzPoints(&in, points.data(), capacity, false);
  textInputClose(&in);
  points.resize(count < 0 ? 0 : static_cast<size_t>(count));
  return points;
}

std::string describe(const XyzPoint& p) {
  char text[128];
  std::snprintf(text, sizeof text, "(%g, %g, %g)", p.x, p.y, p.z);
  return text;
}

bool samePoint(const XyzPoint& a, const XyzPoint& b) {
  return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z);
}

TEST(ValidateXyzList, CountsLinesOfTwoCommasAndNamesTheFirstBadOne) {
  struct Case {
    const char* name;
    std::string list;
    int64_t result;
    int64_t capacityOrCommas;  // pointCapacity when good, badLineCommas when bad
  } cases[] = {
      {"empty", "", 0, -1},
      {"no line end", "1,2,3", 0, -1},
      {"carriage returns only", "1,2,3\r4,5,6\r", 0, -1},
      {"one line", "1,2,3\n", 1, 1},
      {"CR LF", "1,2,3\r\n4,5,6\r\n", 2, 2},
      {"header line", "X,Y,Z\n1,2,3\n", 2, 1},
      {"header of other comma counts", "Easting;Northing;Height\n1,2,3\n", 2, 1},
      {"names with digits", "X1,Y1,Z1\n1,2,3\n", 2, 1},
      {"names with CRS codes", "E_ETRS89_UTM32,N_ETRS89_UTM32,H_DHHN2016\r\n1,2,3\r\n", 2, 1},
      {"quoted names with units", "\"Easting (m)\",\"Northing (m)\",\"H (m)\"\n1,2,3\n", 2, 1},
      {"names in kanji with digits", "東1,北1,標高1\n1,2,3\n", 2, 1},
      {"an empty field among names", ",X1,Y1\n1,2,3\n", 2, 1},
      {"a field that begins with a sign is data", "P1,E, +5\n1,2,3\n", 2, 2},
      {"a quoted number is data", "\"1\",X,Y\n1,2,3\n", 2, 2},
      {"a point begins a number", "X1,\t.5,Z\n1,2,3\n", 2, 2},
      {"a byte order mark before numbers is data", "\xEF\xBB\xBF" "1,2,3\n", 1, 1},
      {"blank first line is no header", "\r\n1,2,3\n", 0, 0},
      {"bad second line after a header", "X,Y,Z\r\n1,2\r\n", -1, 1},
      {"header alone", "X,Y,Z\r\n", -1, -1},
      {"header, then a line without line end", "X,Y,Z\n1,2,3", -1, -1},
      {"no second header", "X,Y,Z\n1,2,3\nX,Y,Z,W\n", -2, 3},
      {"first line short", "1,2\n1,2,3\n", 0, 1},
      {"first line long", "1,2,3,4\n", 0, 3},
      {"third line bad", "1,2,3\n4,5,6\n7,8\n9,10,11\n", -2, 1},
      {"blank line inside", "1,2,3\n\n4,5,6\n", -1, 0},
      {"blank line at the end", "1,2,3\n4,5,6\n\n", -2, 0},
      {"last line unchecked", "1,2,3\n4,5,6,7,8", 1, 2},
      {"last line of commas", "1,2,3\n,,,,,,,,", 1, 3},
      {"Ctrl-Z ends the data", "1,2,3\n\x1a" "junk\n", 1, 1},
      {"Ctrl-Z inside a line", "1,2,3\n4,5\x1a,6\n", 1, 1},
  };
  for (const Case& c : cases) {
    TextInput in;
    textInputOpenMemory(&in, c.list.data(), c.list.size());
    XyzListShape shape;
    int64_t result = validateXyzList(&in, &shape);
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(result > 0 ? shape.pointCapacity : shape.badLineCommas, c.capacityOrCommas) << c.name;
    textInputClose(&in);
  }
}

TEST(ReadXyzPoints, FillsXYZInFileOrderWhateverTheLines) {
  struct Case {
    const char* name;
    std::string list;
    std::vector<XyzPoint> points;
  } cases[] = {
      {"blanks, quotes, units", " 1.5 ,\"2\",3m\n", {{1.5, 2, 3}}},
      {"exponents", "1e5,-1e-3,1.5e3\n", {{100000, -0.001, 1500}}},
      // numpy's savetxt, R and pandas for small and round values, GDAL's Float32 raster.
      {"exported exponents", "5.123400000000000000e+05,5e+05,2E-05\n-9.99999974737875164e-06,\"1.5e3\",4e0\n",
       {{512340, 500000, 0.00002}, {-9.99999974737875164e-06, 1500, 4}}},
      {"letters that are no exponent", "E139.5,3m,12e\n1e+,.e5,1\x83" "E5\n", {{139.5, 3, 12}, {1, 0.5, 15}}},
      {"beyond the range", "1e400,-1e400,1e-400\n", {{kInf, -kInf, 0}}},
      {"stops at what it cannot use", "1.2.3,1-5,-\n", {{1.2, 1, -0.0}}},
      {"header line", "X,Y,Z\n1,2,3\n", {{0, 0, 0}, {1, 2, 3}}},
      {"last line without line end", "1,2,3\n4,5,6,7", {{1, 2, 3}, {4, 5, 6}}},
      {"incomplete last point", "1,2,3\n4,5", {{1, 2, 3}}},
      {"CR LF and Ctrl-Z", "1,2,3\r\n4,5,6\r\n\x1a" "7,8,9\n", {{1, 2, 3}, {4, 5, 6}}},
      {"multi-byte characters", "\x82\x50,2,\x93\xfa" "3\n", {{0, 2, 3}}},
  };
  for (const Case& c : cases) {
    std::vector<XyzPoint> got = scan(c.list);
    ASSERT_EQ(got.size(), c.points.size()) << c.name;
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_TRUE(samePoint(got[i], c.points[i])) << c.name << ": " << describe(got[i]);
  }
}

TEST(ReadXyzPoints, NeverStoresMoreThanTheRoomItIsGiven) {
  // Many commas on a last line without a line end: the check's capacity covers every point the
  // scan can make of them, and a smaller room is never overrun.
  std::string list = "1,2,3\n";
  for (int v = 4; v <= 3004; ++v) list += std::to_string(v) + ",";
  TextInput in;
  textInputOpenMemory(&in, list.data(), list.size());
  XyzListShape shape;
  ASSERT_EQ(validateXyzList(&in, &shape), 1);
  EXPECT_EQ(shape.pointCapacity, 1 + 3001 / 3);
  std::vector<XyzPoint> points(static_cast<size_t>(shape.pointCapacity) + 1, XyzPoint{-7, -7, -7});
  EXPECT_EQ(readXyzPoints(&in, points.data(), shape.pointCapacity, false), shape.pointCapacity);
  EXPECT_TRUE(samePoint(points[1000], XyzPoint{3001, 3002, 3003}));
  EXPECT_TRUE(samePoint(points.back(), XyzPoint{-7, -7, -7}));  // the guard record is untouched
  textInputClose(&in);

  std::vector<XyzPoint> few = scan(list, 5);
  EXPECT_EQ(few.size(), 5u);
}

// The bytes of a value that are converted: digits, signs and points, and an exponent letter
// right after a digit, or after a point once there was a digit; CRs are not there at all.
std::string keptText(const std::string& value) {
  std::string kept;
  bool digit = false, exponentReady = false;
  for (char c : value) {
    bool isDigit = c >= '0' && c <= '9';
    if (isDigit || c == '+' || c == '-' || c == '.') {
      kept += c;
      digit |= isDigit;
      exponentReady = isDigit || (c == '.' && digit);
    } else if (c != '\r') {
      if ((c == 'e' || c == 'E') && exponentReady) kept += c;
      exponentReady = false;
    }
  }
  return kept;
}

TEST(ReadXyzPoints, ValuesAcrossBlocksAndDroppedBytesReadAsTheirKeptText) {
  // Enough random values that some straddle the input's blocks; some hold dropped bytes.
  std::mt19937 random(7);
  const char alphabet[] = "0123456789+-.0123456789 \"eE\r\x82";
  std::vector<std::string> kept;
  std::string list;
  for (int value = 0; value < 60000; ++value) {
    std::string text;
    for (int i = static_cast<int>(random() % 24); i > 0; --i) text += alphabet[random() % (sizeof alphabet - 1)];
    kept.push_back(keptText(text));
    list += text + (value % 3 == 2 ? "\n" : ",");
  }
  std::vector<XyzPoint> points = scan(list, 20000);
  ASSERT_EQ(points.size(), 20000u);
  for (size_t i = 0; i < kept.size(); ++i) {
    const XyzPoint& p = points[i / 3];
    double got = i % 3 == 0 ? p.x : i % 3 == 1 ? p.y : p.z;
    ASSERT_TRUE(sameBits(got, parseDecimal(kept[i].data(), kept[i].size()))) << '"' << kept[i] << "\" gave " << got;
  }
}

TEST(ReadXyzPoints, ValueTextsOfAnyLengthConvertWhole) {
  // Far beyond any fixed field buffer; the neighbours must come through untouched.
  std::string longFraction = "123.456" + std::string(5000, '0') + "1";
  std::string longInteger = "-1" + std::string(400, '0');
  std::string tieBreaker = "1.00000000000000011102230246251565404236316680908203125" + std::string(3000, '0') + "1";
  std::vector<XyzPoint> points = scan("7," + longFraction + "," + longInteger + "\n" + tieBreaker + ",8,9\n");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_TRUE(samePoint(points[0], XyzPoint{7, 123.456, -kInf}));
  EXPECT_TRUE(samePoint(points[1], XyzPoint{std::nextafter(1.0, 2.0), 8, 9}));
}

TEST(CompareXyzPoints, OrdersByYThenXThenZInExtendedPrecision) {
  struct Case {
    XyzPoint a, b;
    int expected;
  } cases[] = {
      {{9, 1, 9}, {0, 2, 0}, -1},             // y decides before x and z
      {{1, 5, 9}, {2, 5, 0}, -1},             // then x
      {{1, 5, 3}, {1, 5, 2}, 1},              // then z
      {{1, 5, 3}, {1, 5, 3}, 0},
      {{-0.0, -0.0, -0.0}, {0, 0, 0}, 0},     // negative zero equals zero
      {{0, 1e308, 0}, {0, -1e308, 0}, 1},     // the difference exceeds the double range
      {{0, 5e-324, 0}, {0, 0, 0}, 1},         // the smallest difference still counts
      {{0, kInf, 1}, {0, kInf, 2}, -1},       // equal infinities go on to the next key
      {{kInf, 0, 0}, {-kInf, 0, 0}, 1},
      {{0, -kInf, 0}, {0, -1e308, 0}, -1},
      {{0, kNan, 0}, {0, kInf, 0}, 1},        // a NaN goes after every number
      {{0, kNan, 1}, {0, kNan, 2}, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compareXyzPoints(c.a, c.b), c.expected) << describe(c.a) << " vs " << describe(c.b);
    EXPECT_EQ(compareXyzPoints(c.b, c.a), -c.expected) << describe(c.b) << " vs " << describe(c.a);
  }
}

// Points built from values where comparisons are delicate.
std::vector<XyzPoint> awkwardPoints(size_t count, unsigned seed, bool withNan) {
  std::vector<double> values = {-kInf, -1e308, -1.0, -5e-324, -0.0, 0.0, 5e-324, 1.0, 1e308, kInf};
  if (withNan) values.push_back(kNan);
  std::mt19937 random(seed);
  std::vector<XyzPoint> points(count);
  for (XyzPoint& p : points)
    p = XyzPoint{values[random() % values.size()], values[random() % values.size()], values[random() % values.size()]};
  return points;
}

TEST(CompareXyzPoints, IsAStrictWeakOrderingEvenWithInfinitiesAndNan) {
  std::vector<XyzPoint> points = awkwardPoints(60, 3, true);
  for (const XyzPoint& a : points) {
    EXPECT_EQ(compareXyzPoints(a, a), 0);
    for (const XyzPoint& b : points) {
      ASSERT_EQ(compareXyzPoints(a, b), -compareXyzPoints(b, a));
      for (const XyzPoint& c : points) {
        int ab = compareXyzPoints(a, b), bc = compareXyzPoints(b, c), ac = compareXyzPoints(a, c);
        if (ab <= 0 && bc <= 0) {
          ASSERT_LE(ac, 0) << describe(a) << describe(b) << describe(c);
        }
        if (ab == 0 && bc == 0) {
          ASSERT_EQ(ac, 0) << describe(a) << describe(b) << describe(c);
        }
      }
    }
  }
}

// The standard sort with compareXyzPoints, equal points put negative zeros first (y, x, z).
bool referenceOrder(const XyzPoint& a, const XyzPoint& b) {
  if (int order = compareXyzPoints(a, b)) return order < 0;
  for (auto [p, q] : {std::pair{a.y, b.y}, std::pair{a.x, b.x}, std::pair{a.z, b.z}})
    if (std::signbit(p) != std::signbit(q)) return std::signbit(p);
  return false;
}

// Shuffled grids: rows of equal Y, X values in a narrow band, random Z with negative zeros.
std::vector<XyzPoint> gridPoints(int columns, int rows, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<XyzPoint> points;
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i)
      points.push_back(XyzPoint{100 + i * 0.123457, j % 3 ? 200 + j * 0.234567 : -0.0,
                                random() % 7 ? static_cast<int>(random() % 2001 - 1000) / 8.0 : -0.0});
  std::shuffle(points.begin(), points.end(), random);
  return points;
}

TEST(SortXyzPoints, GivesTheStandardSortsOrderDownToTheBits) {
  std::vector<XyzPoint> ascending;
  for (int i = 0; i < 3000; ++i) ascending.push_back(XyzPoint{i % 50 * 1.0, i / 50 * 1.0, 0});
  std::vector<XyzPoint> spread(20000);
  std::mt19937_64 random64(7);
  for (XyzPoint& p : spread) {
    double values[3];
    for (double& v : values) v = std::ldexp(static_cast<double>(random64() >> 11), static_cast<int>(random64() % 200) - 150);
    p = XyzPoint{values[0], random64() % 2 ? -values[1] : values[1], values[2]};
  }
  std::vector<XyzPoint> inputs[] = {awkwardPoints(5000, 11, false), awkwardPoints(5000, 12, true), ascending,
                                    std::vector<XyzPoint>(ascending.rbegin(), ascending.rend()),
                                    std::vector<XyzPoint>(4000, XyzPoint{1, 2, 3}), gridPoints(120, 90, 13), spread};
  std::mt19937 random(5);
  for (std::vector<XyzPoint>& points : inputs) {
    std::vector<XyzPoint> reference = points;
    std::sort(reference.begin(), reference.end(), referenceOrder);
    for (int round = 0; round < 3; ++round) {
      std::shuffle(points.begin(), points.end(), random);
      std::vector<XyzPoint> sorted = points;
      sortXyzPoints(sorted.data(), sorted.size());
      ASSERT_EQ(std::memcmp(sorted.data(), reference.data(), sorted.size() * sizeof(XyzPoint)), 0) << round;
    }
  }
}

TEST(FoldXyzList, WritesTheGridFileByteForByte) {
  struct Case {
    const char* name;
    std::string list;
    std::string grid;
  } cases[] = {
      {"two rows", "2,1,5\n1,1,4\n1,0,2\n2,0,3\n",
       "XYZ,1.000000,2.000000\r\n0.000000,2.000000,3.000000\r\n1.000000,4.000000,5.000000"},
      {"one Y only", "3,7,30\r\n1,7,10\r\n2,7,20\r\n", "XYZ,1.000000,2.000000,3.000000\r\n7.000000,10.000000,20.000000,30.000000"},
      {"one column", "5,2,1\n5,1,2\n5,3,3\n", "XYZ,5.000000\r\n1.000000,2.000000\r\n2.000000,1.000000\r\n3.000000,3.000000"},
      {"X equal at six decimals", "1.0000001,0,2\n1,1,4\n2,0,3\n2.0000004,1,5\n",
       "XYZ,1.000000,2.000000\r\n0.000000,2.000000,3.000000\r\n1.000000,4.000000,5.000000"},
      {"negative zero and a tiny X are one column", "-,-0.125,2.5\n0.0000004,0.5,-0.0000004\n",
       "XYZ,-0.000000\r\n-0.125000,2.500000\r\n0.500000,-0.000000"},
      // Lists that are not a grid: named by their first row that differs.
      {"X apart in the sixth decimal", "1,0,2\n1.000001,1,4\n", "<not a grid: Y=1.000000 X=1.000001 for 1.000000>"},
      {"missing point", "1,0,2\n2,0,3\n2,1,5\n", "<not a grid: Y=1.000000 holds 1 of 2>"},
      {"missing point in the third row", "1,0,1\n2,0,1\n1,1,1\n2,1,1\n1,2,1\n", "<not a grid: Y=2.000000 holds 1 of 2>"},
      {"extra point", "1,0,2\n1,1,4\n3,1,6\n", "<not a grid: Y=1.000000 holds 2 of 1>"},
      {"scattered shots", "10.5,3.2,1\n7.1,8.4,2\n3.3,1.9,3\n", "<not a grid: Y=3.200000 X=10.500000 for 3.300000>"},
      {"one X twice in the first row", "1,0,2\n2,1,5\n1,0,2\n1,1,9\n2,1,5\n1,1,4\n", "<not a grid: Y=0.000000 X=1.000000 twice>"},
      {"two Z at one X,Y", "1,0,2\n2,0,3\n1,1,4\n2,1,9\n2,1,8\n", "<not a grid: Y=1.000000 X=2.000000 twice>"},
      {"X twice at six decimals", "1,0,2\n1.0000002,0,3\n", "<not a grid: Y=0.000000 X=1.000000 twice>"},
      {"names further down become a point", "1,1,1\nX,Y,Z\n", "<not a grid: Y=1.000000 X=1.000000 for 0.000000>"},
      {"zero and negative zero rows merge", "2,-0,6\n1,0,5\n", "XYZ,1.000000,2.000000\r\n0.000000,5.000000,6.000000"},
      {"equal points: negative zero first", "1,0,5\n1,-0,5\n", "<not a grid: Y=-0.000000 X=1.000000 twice>"},
      {"equal points in the other order", "1,-0,5\n1,0,5\n", "<not a grid: Y=-0.000000 X=1.000000 twice>"},
      {"last line without line end", "1,2,3\n1,5,6,7", "XYZ,1.000000\r\n2.000000,3.000000\r\n5.000000,6.000000"},
      {"value beyond the double range", "1,2," + std::string(400, '9') + "\n", "XYZ,1.000000\r\n2.000000,+INF"},
      {"empty list", "", "<check 0>"},
      {"blank line at the end", "1,2,3\n\n", "<check -1>"},
  };
  for (const Case& c : cases) EXPECT_EQ(foldText(c.list), c.grid) << c.name;
}

// What numpy, pandas, R, Octave, a spreadsheet and GDAL export (tests/data/exports/README.md)
// folds into the grid file of the same points in fixed notation, or is refused as no grid.
TEST(FoldXyzList, ReadsWhatOtherProgramsExport) {
  struct Case {
    const char* file;
    const char* sameAs;  // a list of the same points in fixed notation, or what the fold says
  } cases[] = {
      {"numpy-grid.xyz", "numpy-grid.ref.xyz"},
      {"pandas-settlement.csv", "settlement.ref.xyz"},
      {"r-settlement.csv", "settlement.ref.xyz"},
      {"octave-settlement.csv", "settlement.ref.xyz"},
      {"calc-settlement.csv", "settlement.ref.xyz"},
      {"gdal-float32.xyz", "gdal-float32.ref.xyz"},
      {"gdal-nodata-skipped.xyz", "<not a grid: Y=5412380.000000 holds 19 of 20>"},
      {"pandas-shots.csv", "<not a grid: Y=5412311.255000 X=500175.696000 for 500170.180000>"},
  };
  const std::string exports = PV_TEST_DATA_DIR "/exports/";
  for (const Case& c : cases) {
    std::string folded = foldText(readFile(exports + c.file));
    std::string expected = c.sameAs[0] == '<' ? c.sameAs : foldText(readFile(exports + c.sameAs));
    EXPECT_EQ(folded, expected) << c.file;
    if (c.sameAs[0] != '<') EXPECT_EQ(expected.compare(0, 4, "XYZ,"), 0) << c.sameAs;
  }
}

// A first line of column names changes nothing: the grid is that of the list without it.
TEST(FoldXyzList, AHeaderLineIsNeitherCheckedNorAPoint) {
  const std::string list = "2,1,5\n1,1,4\n1,0,2\n2,0,3\n";
  const std::string grid = foldText(list);
  ASSERT_EQ(grid.compare(0, 4, "XYZ,"), 0);
  for (const char* header : {"X,Y,Z", "x,y,z", "\x93\x8c,\x96\x6b,\x95\x57\x8d\x82", "\"X\",\"Y\",\"Z\"", "+.-,,",
                             "X1,Y1,Z1", "E_ETRS89_UTM32,N_ETRS89_UTM32,H_DHHN2016", "\"Easting (m)\",\"Northing (m)\",\"H (m)\"",
                             "東1,北1,標高1"}) {
    for (const char* lineEnd : {"\n", "\r\n"}) {
      std::string withEnds = list;
      for (size_t at = 0; (at = withEnds.find('\n', at)) != std::string::npos; at += 2) withEnds.replace(at, 1, lineEnd);
      EXPECT_EQ(foldText(header + std::string(lineEnd) + withEnds), grid) << header << " with " << (lineEnd[1] ? "CR LF" : "LF");
    }
  }
}

TEST(FoldXyzList, ReportsAPointArrayThatCannotBeHad) {
  std::string list = "1,2,3\n";
  TextInput in;
  textInputOpenMemory(&in, list.data(), list.size());
  std::string grid;
  TextOutput out;
  textOutputBegin(&out, drainToString, &grid);
  EXPECT_EQ(foldXyzList(&in, XyzListShape{false, std::numeric_limits<int64_t>::max() / 2, 0, 0}, &out).end, GridLoad::outOfMemory);
  textOutputEnd(&out);
  textInputClose(&in);
  EXPECT_EQ(grid, "");
}

// A value with six decimals that survives "%f" and back unchanged.
std::string randomValueText(std::mt19937& random) {
  char text[48];
  long long millionths = static_cast<long long>(random() % 2000000001) - 1000000000;
  std::snprintf(text, sizeof text, "%s%lld.%06lld", millionths < 0 ? "-" : "", std::llabs(millionths) / 1000000,
                std::llabs(millionths) % 1000000);
  return text;
}

std::vector<double> distinctValues(std::mt19937& random, size_t count) {
  std::vector<double> values;
  // Negative zero in place of zero now and then: it must come back with its sign.
  if (random() % 3 == 0) values.push_back(-0.0);
  while (values.size() < count) {
    std::string text = randomValueText(random);
    double value = parseDecimal(text.data(), text.size());
    if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
  }
  return values;
}

TEST(FoldXyzList, TheViewerReadsBackEveryGridExactly) {
  std::mt19937 random(2024);
  for (int round = 0; round < 60; ++round) {
    size_t columns = 1 + random() % 12, rows = 1 + random() % 12;
    std::vector<double> xs = distinctValues(random, columns);
    std::vector<double> ys = distinctValues(random, rows);
    std::vector<std::vector<double>> zs(rows, std::vector<double>(columns));
    std::vector<std::string> lines;
    char fixed[kFixedTextMax + 1];
    auto text = [&](double v) { return std::string(fixed, formatFixed6(v, fixed)); };
    for (size_t j = 0; j < rows; ++j) {
      for (size_t i = 0; i < columns; ++i) {
        std::string z = random() % 7 == 0 ? "-0" : randomValueText(random);
        zs[j][i] = parseDecimal(z.data(), z.size());
        lines.push_back(text(xs[i]) + "," + text(ys[j]) + "," + z + (random() % 2 ? "\r\n" : "\n"));
      }
    }
    std::shuffle(lines.begin(), lines.end(), random);
    std::string list;
    for (const std::string& line : lines) list += line;
    std::string grid = foldText(list);

    Loaded l;
    load(&l, grid, true);
    ASSERT_EQ(l.result, ReadResult::ok);
    const PointTable& table = l.table;
    std::vector<size_t> byX(columns), byY(rows);
    for (size_t k = 0; k < columns; ++k) byX[k] = k;
    for (size_t k = 0; k < rows; ++k) byY[k] = k;
    std::sort(byX.begin(), byX.end(), [&](size_t a, size_t b) { return xs[a] < xs[b]; });
    std::sort(byY.begin(), byY.end(), [&](size_t a, size_t b) { return ys[a] < ys[b]; });
    ASSERT_EQ(table.lastColumnIndex, static_cast<int32_t>(columns)) << grid;
    ASSERT_EQ(table.lastRowIndex, static_cast<int32_t>(rows)) << grid;
    for (size_t i = 0; i < columns; ++i) ASSERT_TRUE(sameBits(table.rows[0][i + 1], xs[byX[i]])) << grid;
    for (size_t j = 0; j < rows; ++j) {
      ASSERT_TRUE(sameBits(table.rows[j + 1][0], ys[byY[j]])) << grid;
      for (size_t i = 0; i < columns; ++i) ASSERT_TRUE(sameBits(table.rows[j + 1][i + 1], zs[byY[j]][byX[i]])) << grid;
    }

    // Another order of the same lines gives the same bytes.
    std::shuffle(lines.begin(), lines.end(), random);
    std::string again;
    for (const std::string& line : lines) again += line;
    ASSERT_EQ(foldText(again), grid);
  }
}

}  // namespace
