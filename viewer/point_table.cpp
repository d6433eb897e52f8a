#include "viewer/point_table.h"

#include <cstring>
#include <limits>

#include "common/field_scanner.h"
#include "common/memory.h"

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
  if (widenFailed || end == ScanEnd::outOfMemory) {
    releaseTable(table);
    return ReadResult::outOfMemory;
  }
  return ReadResult::ok;
}

ReadResult readGridFile(TextInput* in, PointTable* table, Extents* extents) {
  startRead(table, extents);

  // Counting pass: fields of the header line, then the line ends after it.
  textInputRewind(in);
  int64_t headerCommas = 0;
  int64_t laterLineEnds = 0;
  bool headerEnded = false;
  const unsigned char* data;
  size_t size;
  while (textInputNext(in, &data, &size)) {
    const unsigned char* p = data;
    const unsigned char* end = data + size;
    if (!headerEnded) {
      const unsigned char* lineEnd = static_cast<const unsigned char*>(std::memchr(p, '\n', size));
      const unsigned char* stop = lineEnd ? lineEnd : end;
      for (; p < stop; ++p) headerCommas += *p == ',';
      if (!lineEnd) continue;
      headerEnded = true;
      p = lineEnd + 1;
    }
    // A plain count: a search per line end costs a call for every blank line.
    for (; p < end; ++p) laterLineEnds += *p == '\n';
  }
  // Without a complete header line there is no grid: the table stays empty.
  if (!headerEnded) return ReadResult::ok;
  if (!allocateTable(table, 1 + headerCommas, 2 + laterLineEnds)) return ReadResult::outOfMemory;

  // Parsing pass.
  textInputRewind(in);
  FieldText field;
  fieldInit(&field);
  const int32_t columns = table->columnCapacity;
  const double* const header = table->rows[0];
  bool started = false;
  bool inHeader = true;
  bool lineHasComma = false;
  int32_t row = 0;
  int32_t column = 0;

  auto storeCell = [&](double value) {
    if (column >= columns) return;  // long lines lose their extra fields
    double* cells = table->rows[row];
    cells[column] = value;
    if (inHeader || column == 0) return;
    double u = static_cast<double>(isoU(header[column], cells[0]));
    double v = static_cast<double>(isoV(header[column], cells[0], value));
    if (!started) {
      started = true;
      extents->xMin = extents->xMax = u;
      extents->yMin = extents->yMax = v;
      return;
    }
    if (u < extents->xMin) extents->xMin = u;
    if (u > extents->xMax) extents->xMax = u;
    if (v < extents->yMin) extents->yMin = v;
    if (v > extents->yMax) extents->yMax = v;
  };

  bool full = false;
  ScanEnd end = scanFields(in, &field, [&](double value, uint8_t separator) {
    storeCell(value);
    if (separator == kByteComma) {
      if (column < columns) ++column;
      lineHasComma = true;
      return true;
    }
    if (inHeader) {
      table->lastColumnIndex = column;
      inHeader = false;
    } else {
      table->lastRowIndex = row;
    }
    column = 0;
    lineHasComma = false;
    // The file may have grown since it was counted; the table does not.
    full = ++row > table->rowCapacity;
    return !full;
  });
  if (end == ScanEnd::outOfMemory) {
    fieldRelease(&field);
    releaseTable(table);
    return ReadResult::outOfMemory;
  }
  // A last line without a line end is complete all the same, once it met a comma or holds text.
  if (!full && !inHeader && (lineHasComma || field.size > 0)) {
    storeCell(fieldTake(&field));
    table->lastRowIndex = row;
  }
  fieldRelease(&field);
  return ReadResult::ok;
}
