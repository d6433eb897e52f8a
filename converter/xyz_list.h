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
  // The first line holds no digit at all: a line of column names (X,Y,Z), which is neither
  // checked nor read as a point. It still counts in the line numbers.
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

// Writes the grid file: "XYZ", the X values of the first row, then one line per distinct Y
// holding that Y and the row's Z values. CR LF line ends; no line end after the last Z.
void writeGridFile(TextOutput* out, const XyzPoint* points, size_t count);

enum class FoldResult { ok, outOfMemory };

// Scan, sort and write after a good check that gave shape: allocates the pointCapacity points
// the check reported, and nothing else that grows with the input.
FoldResult foldXyzList(TextInput* in, const XyzListShape& shape, TextOutput* out);

// How folding into a file ended; error is the system's error number of a failed read or write.
struct FoldFileResult {
  enum End { done, readFailed, writeFailed, outOfMemory } end;
  int error;
};
// Folds the checked input into the created file and moves it into place: both programs' last
// step. The input is closed and the file committed or discarded, whatever happens.
FoldFileResult foldIntoFile(TextInput* in, const XyzListShape& shape, OutputFile* file);
