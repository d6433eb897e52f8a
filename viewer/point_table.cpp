#include "viewer/point_table.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/field_scanner.h"
#include "common/memory.h"
#include "platform/input_file.h"

namespace {

// Every row lives in one zero-filled block; rows[r] points into it.
bool allocateTable(PointTable* table, int64_t columns, int64_t rowCapacity) {
  if (columns <= 0 || columns > std::numeric_limits<int32_t>::max() ||
      rowCapacity > std::numeric_limits<int32_t>::max() - 1)
    return false;
  uint64_t rowCount = static_cast<uint64_t>(rowCapacity) + 1;
  uint64_t cells = static_cast<uint64_t>(columns) * rowCount;
  if (cells > SIZE_MAX / sizeof(double) || rowCount > SIZE_MAX / sizeof(double*)) return false;
  double** rows = static_cast<double**>(allocateBytes(static_cast<size_t>(rowCount) * sizeof(double*)));
  if (!rows) return false;
  double* block = static_cast<double*>(allocateZeroed(static_cast<size_t>(cells), sizeof(double)));
  if (!block) {
    releaseBytes(rows);
    return false;
  }
  for (uint64_t r = 0; r < rowCount; ++r) rows[r] = block + r * static_cast<uint64_t>(columns);
  table->rows = rows;
  table->columnCapacity = static_cast<int32_t>(columns);
  table->rowCapacity = static_cast<int32_t>(rowCapacity);
  return true;
}

// A two-row table whose lines outgrow it doubles its columns, keeping every value.
bool widenTwoRowTable(PointTable* table, int64_t neededColumn) {
  int64_t columns = table->columnCapacity;
  while (columns <= neededColumn) columns *= 2;
  if (columns > std::numeric_limits<int32_t>::max()) {
    if (neededColumn >= std::numeric_limits<int32_t>::max()) return false;
    columns = std::numeric_limits<int32_t>::max();
  }
  PointTable wider{};
  if (!allocateTable(&wider, columns, table->rowCapacity)) return false;
  for (int32_t r = 0; r <= table->rowCapacity; ++r)
    std::memcpy(wider.rows[r], table->rows[r], sizeof(double) * static_cast<size_t>(table->columnCapacity));
  wider.lastColumnIndex = table->lastColumnIndex;
  wider.lastRowIndex = table->lastRowIndex;
  releaseTable(table);
  *table = wider;
  return true;
}

void widen(double value, bool* started, double* low, double* high) {
  if (!*started) {
    *started = true;
    *low = *high = value;
    return;
  }
  if (value < *low) *low = value;
  if (value > *high) *high = value;
}

void startRead(PointTable* table, Extents* extents) {
  releaseTable(table);
  *extents = Extents{};
}

// Nothing partial is kept: a read that ran out of memory or ended with a read error leaves an
// empty table.
ReadResult finishRead(const TextInput* in, PointTable* table, bool outOfMemory) {
  if (!outOfMemory && in->error == 0) return ReadResult::ok;
  releaseTable(table);
  return outOfMemory ? ReadResult::outOfMemory : ReadResult::readFailed;
}

// The counting pass of a grid file: fields of the header line, then the line ends after it.
struct GridShape {
  int64_t headerCommas;
  int64_t laterLineEnds;
  bool headerEnded;
};

GridShape countGridShape(TextInput* in) {
  textInputRewind(in);
  GridShape shape{};
  forEachBlock(in, [&](const unsigned char* p, const unsigned char* end) {
    if (!shape.headerEnded) {
      auto lineEnd = static_cast<const unsigned char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      for (const unsigned char* stop = lineEnd ? lineEnd : end; p < stop; ++p) shape.headerCommas += *p == ',';
      if (!lineEnd) return true;
      shape.headerEnded = true;
      p = lineEnd + 1;
    }
    // A plain count: a search per line end costs a call for every blank line.
    for (; p < end; ++p) shape.laterLineEnds += *p == '\n';
    return true;
  });
  return shape;
}

// The parsing pass of a grid file: where the next field goes, and whether the extents started.
struct GridRead {
  PointTable* table;
  Extents* extents;
  const double* header;
  bool started;
  bool inHeader;
  bool lineHasComma;
  int32_t row;
  int32_t column;
};

// Widens the extents by a node's isometric point, or starts them with it.
void widenIsometric(GridRead* read, double u, double v) {
  bool started = read->started;
  widen(u, &started, &read->extents->xMin, &read->extents->xMax);
  widen(v, &read->started, &read->extents->yMin, &read->extents->yMax);
}

void storeGridCell(GridRead* read, double value) {
  if (read->column >= read->table->columnCapacity) return;  // long lines lose their extra fields
  double* cells = read->table->rows[read->row];
  cells[read->column] = value;
  if (read->inHeader || read->column == 0) return;
  double x = read->header[read->column];
  widenIsometric(read, static_cast<double>(isoU(x, cells[0])), static_cast<double>(isoV(x, cells[0], value)));
}

// A field ended by a separator; false once the table has no row for the next line.
bool endGridField(GridRead* read, double value, uint8_t separator) {
  storeGridCell(read, value);
  if (separator == kByteComma) {
    if (read->column < read->table->columnCapacity) ++read->column;
    read->lineHasComma = true;
    return true;
  }
  if (read->inHeader) {
    // A header line that gained fields since it was counted keeps to the columns counted.
    read->table->lastColumnIndex = std::min(read->column, read->table->columnCapacity - 1);
    read->inHeader = false;
  } else {
    read->table->lastRowIndex = read->row;
  }
  read->column = 0;
  read->lineHasComma = false;
  // The file may have grown since it was counted; the table does not.
  return ++read->row <= read->table->rowCapacity;
}

}  // namespace

void releaseTable(PointTable* table) {
  if (table->rows && table->columnCapacity != 0 && table->rowCapacity != 0) {
    releaseBytes(table->rows[0]);
    releaseBytes(table->rows);
  }
  *table = PointTable{};
}

ReadResult readTwoRowFile(TextInput* in, PointTable* table, Extents* extents) {
  startRead(table, extents);
  if (!allocateTable(table, kTwoRowColumns, 2)) return ReadResult::outOfMemory;

  FieldText field;
  fieldInit(&field);
  bool xStarted = false, yStarted = false;
  bool widenFailed = false;
  int32_t row = 0;
  int64_t column = 0;
  ScanEnd end = scanFields(in, &field, [&](double value, uint8_t separator) {
    if (column >= table->columnCapacity && !widenTwoRowTable(table, column)) {
      widenFailed = true;
      return false;
    }
    table->rows[row][column] = value;
    if (row == 0)
      widen(value, &xStarted, &extents->xMin, &extents->xMax);
    else
      widen(value, &yStarted, &extents->yMin, &extents->yMax);
    if (separator == kByteComma) {
      ++column;
      return true;
    }
    if (row == 1) return false;  // lines after the second are never read
    table->lastColumnIndex = static_cast<int32_t>(column);
    row = 1;
    column = 0;
    return true;
  });
  // The text of an unfinished last field is discarded.
  fieldRelease(&field);
  return finishRead(in, table, widenFailed || end == ScanEnd::outOfMemory);
}

ReadResult readGridFile(TextInput* in, PointTable* table, Extents* extents) {
  startRead(table, extents);
  GridShape shape = countGridShape(in);
  // Without a complete header line there is no grid: the table stays empty.
  if (!shape.headerEnded) return finishRead(in, table, false);
  if (!allocateTable(table, 1 + shape.headerCommas, 2 + shape.laterLineEnds)) return ReadResult::outOfMemory;

  textInputRewind(in);
  FieldText field;
  fieldInit(&field);
  GridRead read{table, extents, table->rows[0], false, true, false, 0, 0};
  ScanEnd end = scanFields(in, &field, [&](double value, uint8_t separator) {
    return endGridField(&read, value, separator);
  });
  // A last line without a line end is complete all the same, once it met a comma or holds text.
  if (end == ScanEnd::endOfData && !read.inHeader && (read.lineHasComma || field.size > 0)) {
    storeGridCell(&read, fieldTake(&field));
    table->lastRowIndex = read.row;
  }
  fieldRelease(&field);
  return finishRead(in, table, end == ScanEnd::outOfMemory);
}

ReadResult readTable(TextInput* in, Dimension dimension, PointTable* table, Extents* extents) {
  return dimension == Dimension::twoD ? readTwoRowFile(in, table, extents) : readGridFile(in, table, extents);
}

IoResult readTableFile(const char* path, Dimension dimension, PointTable* table, Extents* extents) {
  TextInput in;
  IoResult opened = inputFileOpen(&in, path);
  if (opened.kind != IoResult::ok) return opened;
  ReadResult result = readTable(&in, dimension, table, extents);
  int error = in.error;
  textInputClose(&in);
  if (result == ReadResult::outOfMemory) return kIoOutOfMemory;
  return result == ReadResult::readFailed ? ioFailed(error) : kIoDone;
}
