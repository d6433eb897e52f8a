// What the writers and the preview make of the committed hostile inputs: exact documents and
// exact canvas operations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/hostile/hostile_support.h"

namespace {

using namespace hostile;

struct Input {
  const char* file;
  bool grid;
};

const Input kInputs[] = {
    {"empty.csv", true},                 {"empty.csv", false},
    {"no-line-end.csv", true},           {"no-line-end.csv", false},
    {"cr-only.csv", true},               {"cr-only.csv", false},
    {"cr-inside.csv", true},             {"cr-inside.csv", false},
    {"ctrl-z-grid.csv", true},           {"ctrl-z-grid.csv", false},
    {"ctrl-z-profile.csv", true},        {"ctrl-z-profile.csv", false},
    {"ctrl-z-first.csv", true},          {"ctrl-z-first.csv", false},
    {"dropped-bytes.csv", true},         {"dropped-bytes.csv", false},
    {"cp932.csv", true},                 {"cp932.csv", false},
    {"negative-zero.csv", true},         {"negative-zero.csv", false},
    {"signs.csv", false},                {"beyond-range-profile.csv", false},
    {"beyond-range-grid.csv", true},     {"near-range-grid.csv", true},
    {"only-commas.csv", true},           {"only-commas.csv", false},
    {"blank-then-data.csv", true},       {"blank-then-data.csv", false},
    {"clamp-below.csv", false},          {"clamp-above.csv", false},
    {"inf-unreached-column.csv", true},  {"minus-inf-unreached-column.csv", true},
};

// Stands for a coordinate near the negative limit in the descriptions below.
constexpr int kFar = -999999999;

std::string name(const Input& in) { return std::string(in.file) + (in.grid ? " as a grid" : " as a two-row file"); }

// Every method on every table: the writers read the cells the layout names and nothing else,
// and print them as "%f" does (infinities as +INF and -INF). A grid table written as a profile
// and the reverse are included: the writers must stay inside any table a reader built.
TEST(HostileWriters, EveryInputAndMethodMatchesTheLayoutRules) {
  const DxfMethod methods[] = {k2D, kLine, kMesh, kFace, {false, false, false, false}};
  for (const Input& in : kInputs) {
    SCOPED_TRACE(name(in));
    Loaded l;
    load(&l, inputFile(in.file), in.grid);
    ASSERT_EQ(l.result, ReadResult::ok);
    for (DxfMethod m : methods)
      EXPECT_EQ(document(l.table, m), referenceDocument(l.table, m)) << m.twoD << m.line << m.mesh << m.face;
  }
}

std::vector<std::string> vertex2(const std::string& x, const std::string& y) {
  return {"0|VERTEX", "10|" + x, "20|" + y};
}
std::vector<std::string> vertex3(const std::string& x, const std::string& y, const std::string& z) {
  return {"0|VERTEX", "10|" + x, "20|" + y, "30|" + z};
}
std::vector<std::string> polyline(const char* flag) {
  return {"0|POLYLINE", "8|plotvane", "66|1", std::string("70|") + flag};
}
const std::vector<std::string> kSeqend = {"0|SEQEND"};

// The same documents spelt out, for the inputs whose values are the point.
TEST(HostileWriters, DocumentsOfTheMostHostileInputs) {
  // The double nearest 1e308, in full.
  const std::string e308 =
      "1000000000000000010979063629440455417404923096773118463368106829031575854049114915371633289784946888990"
      "6124966972117251561159028374314008832830700919814604603127166450293302718569748969958855904333838446616"
      "5001178426897626212945177628091195786707458122783970171784415105291802893207873272974885715430223118336"
      ".000000";
  const std::string z = "0.000000", nz = "-0.000000";
  auto face = [](std::vector<std::string> v) {
    std::vector<std::string> g = {"0|3DFACE", "8|plotvane", "66|1", "70|9"};
    const char* codes[] = {"10", "20", "30", "11", "21", "31", "12", "22", "32", "13", "23", "33"};
    for (int k = 0; k < 12; ++k) g.push_back(std::string(codes[k]) + "|" + v[static_cast<size_t>(k)]);
    return g + kSeqend;
  };
  struct Case {
    const char* file;
    bool grid;
    DxfMethod method;
    std::vector<std::string> entities;
  } cases[] = {
      // No table at all: the section frame alone, whatever the method.
      {"empty.csv", true, kLine, {}},
      {"empty.csv", true, kFace, {}},
      {"no-line-end.csv", true, kMesh, {}},
      // No line completed: the profile is its first point only.
      {"cr-only.csv", false, k2D, polyline("0") + vertex2(z, z) + kSeqend},
      {"beyond-range-profile.csv", false, k2D,
       polyline("0") + vertex2(z, "1.000000") + vertex2("+INF", "2.000000") + vertex2("2.000000", "-INF") + kSeqend},
      {"beyond-range-grid.csv", true, kFace,
       face({"+INF", "-INF", "2.000000", "1.000000", "-INF", "3.000000", "1.000000", "1.000000", "5.000000", "+INF",
             "1.000000", "4.000000"})},
      {"negative-zero.csv", true, kFace, face({nz, nz, nz, nz, nz, nz, nz, nz, nz, nz, nz, nz})},
      {"negative-zero.csv", false, k2D, polyline("0") + vertex2(nz, nz) + vertex2(nz, nz) + vertex2(nz, nz) + kSeqend},
      {"near-range-grid.csv", true, kLine,
       polyline("8") + vertex3(e308, e308, z) + kSeqend + polyline("8") + vertex3("-" + e308, e308, z) + kSeqend +
           polyline("8") + vertex3(e308, e308, z) + vertex3("-" + e308, e308, z) + kSeqend},
      // A header of the corner alone: one polyline without vertices per data row.
      {"blank-then-data.csv", true, kLine, polyline("8") + kSeqend + polyline("8") + kSeqend + polyline("8") + kSeqend},
      {"blank-then-data.csv", true, kMesh, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Loaded l;
    load(&l, inputFile(c.file), c.grid);
    EXPECT_EQ(document(l.table, c.method), groups(kDocumentStart + c.entities + kDocumentEnd));
  }
}

// Preview frame 101 0 302 151; the coordinates were worked out with exact rational arithmetic,
// rounded where the drawing rounds.
TEST(HostilePreview, CommittedInputsDrawTheirOperations) {
  struct Case {
    const char* file;
    bool grid;
    std::string ops;  // after the frame
  } cases[] = {
      // One point, or all points on one: the frame alone.
      {"empty.csv", true, ""},
      {"empty.csv", false, ""},
      {"ctrl-z-first.csv", false, ""},
      {"negative-zero.csv", true, ""},
      {"negative-zero.csv", false, ""},
      {"only-commas.csv", true, ""},
      {"only-commas.csv", false, ""},
      {"cr-inside.csv", true, ""},
      {"ctrl-z-profile.csv", true, ""},
      {"blank-then-data.csv", false, ""},
      // A header of the corner alone has no grid column to draw.
      {"blank-then-data.csv", true, ""},
      // Spreads of inf - inf are NaN; an infinite ySpread gives an xOffset of NaN.
      {"beyond-range-profile.csv", false, ""},
      {"beyond-range-grid.csv", true, ""},
      // No line completed: the move-to of the first point alone, inside extents it does not fill.
      {"no-line-end.csv", false, "|move 215 150"},
      {"cr-only.csv", false, "|move 101 150"},
      {"cr-inside.csv", false, "|move 300 150|line 101 128"},
      {"ctrl-z-grid.csv", false, "|move 125 150|line 200 75|line 275 0"},
      // The unread Y values are 0.0, far below the extents 4..4.
      {"ctrl-z-profile.csv", false, "|move 101 150|line 201 550|line 301 550"},
      // The unstored Z of node (2, 2) is 0.0 and falls below the frame.
      {"ctrl-z-grid.csv", true,
       "|move 157 150|line 243 0|move 185 134|line 272 250|move 157 150|line 185 134|move 243 0|line 272 250"},
      {"dropped-bytes.csv", true,
       "|move 121 63|line 184 0|move 216 150|line 279 48|move 121 63|line 216 150|move 184 0|line 279 48"},
      {"dropped-bytes.csv", false, "|move 101 150|line 181 90|line 301 126"},
      {"cp932.csv", true,
       "|move 155 49|line 167 1|move 245 150|line 257 95|move 155 49|line 245 150|move 167 1|line 257 95"},
      {"cp932.csv", false, "|move 101 70|line 181 94|line 301 150"},
      {"signs.csv", false,
       "|move 169 150|line 169 138|line 169 125|line 169 113|line 169 100|line 169 88|line 169 75|line 169 63"
       "|line 175 50|line 231 38|line 183 25|line 169 13|line 169 0"},
      // Extents near the top of the double range still fit: u = 1.732e308 maps to the right edge.
      {"near-range-grid.csv", true, "|move 301 150|move 101 35|move 301 150|line 101 35"},
      // The unread Y (0.0) lies 8e17 pixels below the frame: pulled in to the coordinate limit.
      {"clamp-below.csv", false, "|move 107 150|line 294 0|line 107 134217728"},
      // Column 2 has X = +inf: its nodes map to +inf across and -inf up, i.e. right and below.
      {"inf-unreached-column.csv", true,
       "|move 157 150|line 243 0|move 134217728 134217728|line 134217728 134217728"
       "|move 157 150|line 134217728 134217728|move 243 0|line 134217728 134217728"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.grid ? " as a grid" : " as a two-row file"));
    Loaded l;
    load(&l, inputFile(c.file), c.grid);
    std::string first = describe(draw(c.grid, l.table, l.extents));
    EXPECT_EQ(first, kFrame + c.ops);
    EXPECT_EQ(describe(draw(c.grid, l.table, l.extents)), first);  // a repaint draws the same
  }
}

// Points far above or left of the frame: their coordinates end near the negative limit ("far"),
// within the coordinate range.
TEST(HostilePreview, PointsFarAboveOrLeftStayWithinTheCoordinateRange) {
  struct Case {
    const char* file;
    bool grid;
    std::string ops;
  } cases[] = {
      // The unread Y (0.0) lies 8e17 pixels above the frame.
      {"clamp-above.csv", false, "|move 107 150|line 294 0|line 107 far"},
      // Column 2 has X = -inf: left and above.
      {"minus-inf-unreached-column.csv", true,
       "|move 157 150|line 243 0|move far far|line far far|move 157 150|line far far|move 243 0|line far far"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Loaded l;
    load(&l, inputFile(c.file), c.grid);
    std::vector<CanvasOp> ops = draw(c.grid, l.table, l.extents);
    for (CanvasOp& op : ops)
      for (int* value : {&op.a, &op.b}) {
        ASSERT_GE(*value, -kPixelLimit);
        if (*value < -kPixelLimit + 1000) *value = kFar;
      }
    std::string text = describe(ops);
    const std::string far = std::to_string(kFar);
    for (size_t at; (at = text.find(far)) != std::string::npos;) text.replace(at, far.size(), "far");
    EXPECT_EQ(text, kFrame + c.ops);
  }
}

// Profiles and grids drawn with the other dimension's drawing (as after a Dimension change that
// the dialog would refuse to draw): never a canvas operation outside the coordinate range.
TEST(HostilePreview, EveryInputInEitherDrawingStaysWithinTheCoordinateRange) {
  for (const Input& in : kInputs) {
    SCOPED_TRACE(name(in));
    Loaded l;
    load(&l, inputFile(in.file), in.grid);
    for (bool grid : {false, true})
      for (const CanvasOp& op : draw(grid, l.table, l.extents))
        for (int value : {op.a, op.b, op.c, op.d}) EXPECT_LE(std::abs(value), kPixelLimit);
  }
}

}  // namespace
