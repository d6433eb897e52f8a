// The XYZ list: one point X,Y,Z per line. Checking it, scanning its points, sorting them into
// grid order (rows by Y, then X, then Z) and writing them as a grid file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/text_input.h"
#include "common/text_output.h"
#include "platform/output_file.h"

struct XyzPoint {
  double x, y, z;
};

// What the check pass learns besides its result.
struct XyzListShape {
  // The first line is a line of column names (X,Y,Z or X1,Y1,Z1: no digit, or no field that
  // begins as a number can), which is neither checked nor read as a point. It still counts in
  // the line numbers.
  bool header;
  // Good list: complete points the scan can produce (one per data line, plus one per three
  // commas of a last line without a line end).
  int64_t pointCapacity;
  // Bad list: commas in the bad line, or -1 when the data ended before any line end.
  int64_t badLineCommas;
  // The data could not be read to its end: the error number (the result then means nothing).
  int readError;
};

// Checks that every line end closes a line of exactly two commas, a header line apart. Returns
// the number of lines (at least 1, the header included) and rewinds the input; otherwise -k, k
// being the lines before the first bad one (line k + 1). No line end at all gives 0; a header
// without a data line after it gives -1. shape may be nullptr.
int64_t validateXyzList(TextInput* in, XyzListShape* shape);

// The 1-based number of the line a failed check (result <= 0) names.
inline int64_t badLineNumber(int64_t checkResult) { return 1 - checkResult; }

// Scans the input from its current position: commas and line ends both end a value, values fill
// x, y, z, x, ... in file order, after the first line when skipHeader is set. Stores at most
// capacity points and returns how many it stored; a trailing incomplete point is dropped. -1
// when memory for a value text ran out.
int64_t readXyzPoints(TextInput* in, XyzPoint* points, int64_t capacity, bool skipHeader);

// -1, 0 or +1: y first, then x, then z, each by the sign of the difference in extended
// precision. Equal points (-0.0 equals 0.0, an infinity equals itself) give 0.
int compareXyzPoints(const XyzPoint& a, const XyzPoint& b);

// Sorts into grid order. Points that compareXyzPoints finds equal but that differ in the signs
// of their zeros are put negative zero first, so the order never depends on the input order.
void sortXyzPoints(XyzPoint* points, size_t count);

// Where points in grid order stop being a grid. Every row (the points of one y) must hold the X
// values of the first row, each once, compared as the grid file writes them (six decimals), so
// that every Z lands under its own X in the grid file.
struct GridMismatch {
  enum Kind { none, repeatedX, pointCount, otherX } kind;
  double rowY;  // the first row that differs
  int64_t rowPoints, firstRowPoints;
  double x;          // repeatedX: the X the row holds twice; otherX: the row's X
  double firstRowX;  // otherX: the first row's X in its place
};
GridMismatch findGridMismatch(const XyzPoint* points, size_t count);

// Writes the grid file: "XYZ", the X values of the first row, then one line per distinct Y
// holding that Y and the row's Z values. CR LF line ends; no line end after the last Z.
void writeGridFile(TextOutput* out, const XyzPoint* points, size_t count);

// The points of a checked list in grid order.
struct XyzGrid {
  XyzPoint* points;
  size_t count;
};

// How reading a checked list into a grid ended; error is the system's error number of a failed read.
struct GridLoad {
  enum End { done, readFailed, outOfMemory, notGrid } end;
  int error;
  GridMismatch mismatch;  // notGrid
};

// Scans the checked input (shape from its check), sorts the points and checks that they form a
// grid: allocates the pointCapacity points the check reported, and nothing else that grows with
// the input. Done: the grid in *grid, for releaseXyzGrid; otherwise *grid holds nothing. The
// input stays open.
GridLoad loadXyzGrid(TextInput* in, const XyzListShape& shape, XyzGrid* grid);
void releaseXyzGrid(XyzGrid* grid);

// Writes the grid file into the created file and moves it into place: both programs' last step.
// The file is committed or discarded, whatever happens.
IoResult writeGridIntoFile(const XyzGrid& grid, OutputFile* file);

// Load and write in one, into any output.
GridLoad foldXyzList(TextInput* in, const XyzListShape& shape, TextOutput* out);
