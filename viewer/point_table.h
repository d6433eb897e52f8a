// The viewer's point table and the two text layouts it is read from.
#pragma once

#include <cstdint>

#include "common/io_result.h"
#include "common/text_input.h"

// rows[r] holds columnCapacity doubles for r = 0 .. rowCapacity (rowCapacity + 1 rows).
// Two-row file: row 0 X values, row 1 Y values. Grid file: row 0 the header (X values from
// column 1), every later row its Y in column 0 and Z values from column 1.
struct PointTable {
  double** rows;
  int32_t columnCapacity;
  int32_t rowCapacity;
  int32_t lastColumnIndex;  // last field of the first line
  int32_t lastRowIndex;     // grid file: last data row completed
};

// Bounding box in the drawing plane: the profile's own plane in 2D, the isometric plane in 3D.
struct Extents {
  double xMin, xMax, yMin, yMax;
};

// The design's size measure of a table: columnCapacity x rowCapacity. rowCapacity is the last
// row's index, not a count of rows (the table holds one row more), so this is not the number of
// cells; it is the measure the large-data question has always been asked by.
inline int64_t tableSizeMeasure(const PointTable& table) {
  return int64_t{table.columnCapacity} * table.rowCapacity;
}

// outOfMemory: memory ran out; readFailed: the input ended early with a read error (its number
// in the input's error).
enum class ReadResult { ok, outOfMemory, readFailed };

// Which layout a table was read from: a two-row profile (2D) or a grid (3D).
enum class Dimension { twoD, threeD };

// Columns of a two-row file's table while its lines fit; it grows for longer lines.
constexpr int32_t kTwoRowColumns = 128;

// Both readers replace the table and the extents wholesale. A failure leaves an empty table
// (nothing partial); after outOfMemory the caller takes the memory-exhaustion path.
ReadResult readTwoRowFile(TextInput* in, PointTable* table, Extents* extents);
ReadResult readGridFile(TextInput* in, PointTable* table, Extents* extents);
ReadResult readTable(TextInput* in, Dimension dimension, PointTable* table, Extents* extents);

// Opens path, reads it with the reader of the dimension and closes it. failed carries the error
// of a file that did not open or could not be read to its end; the table is then empty.
IoResult readTableFile(const char* path, Dimension dimension, PointTable* table, Extents* extents);
// Frees the rows; harmless on an empty table.
void releaseTable(PointTable* table);

// The isometric drawing plane of a grid node, in extended precision; stored as doubles by the caller.
constexpr double kIsoCos = 0.866;  // the double nearest 0.866, not cos 30 degrees
inline long double isoU(long double x, long double y) { return (x + y) * kIsoCos; }
inline long double isoV(long double x, long double y, long double z) { return (y - x) * 0.5L + z; }
