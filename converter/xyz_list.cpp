#include "converter/xyz_list.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/field_scanner.h"
#include "common/memory.h"
#include "common/numbers.h"

namespace {

// What the first line holds, as far as it has been seen: a line of column names is a header.
struct FirstLine {
  bool digit;          // a decimal digit
  bool text;           // a byte other than CR
  bool numberStart;    // a field that begins, after blanks, tabs and quotation marks, as a number can
  bool seekingStart;   // the current field has shown nothing but blanks, tabs and quotation marks
};

void noteFirstLine(const unsigned char* p, const unsigned char* end, FirstLine* line) {
  for (; p < end; ++p) {
    unsigned char c = *p;
    line->digit |= isDecimalDigit(c);
    line->text |= c != '\r';
    if (c == ',') {
      line->seekingStart = true;
    } else if (line->seekingStart && c != ' ' && c != '\t' && c != '"' && c != '\r') {
      line->seekingStart = false;
      line->numberStart |= isDecimalDigit(c) || c == '+' || c == '-' || c == '.';
    }
  }
}

// Names without a digit (X,Y,Z), or names that each begin with something no number begins with
// (X1,Y1,Z1, E_ETRS89_UTM32,..., "Easting (m)",...). A blank line is none: it fails where it
// stands, as blank lines do.
bool isHeader(const FirstLine& line) { return line.text && (!line.digit || !line.numberStart); }

}  // namespace

int64_t validateXyzList(TextInput* in, XyzListShape* shape) {
  XyzListShape unused;
  if (!shape) shape = &unused;
  *shape = XyzListShape{false, 0, 0, 0};
  textInputRewind(in);
  int64_t lines = 0;
  int64_t commas = 0;  // in the current line
  // Spreadsheets, survey and GIS programs often put column names first.
  FirstLine first{false, false, false, true};
  bool good = forEachBlock(in, [&](const unsigned char* p, const unsigned char* const end) {
    while (const void* found = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
      const unsigned char* lineEnd = static_cast<const unsigned char*>(found);
      if (lines == 0) noteFirstLine(p, lineEnd, &first);
      for (; p < lineEnd; ++p) commas += *p == ',';
      if (lines == 0 && isHeader(first)) {
        shape->header = true;
      } else if (commas != 2) {
        return false;
      }
      ++lines;
      commas = 0;
      p = lineEnd + 1;
    }
    if (lines == 0) noteFirstLine(p, end, &first);
    for (; p < end; ++p) commas += *p == ',';
    return true;
  });
  shape->readError = in->error;
  if (!good) {
    shape->badLineCommas = commas;
    return -lines;
  }
  if (lines == int64_t{shape->header}) {  // not one data line
    shape->badLineCommas = -1;
    return -lines;
  }
  // A last line without a line end is not checked, but its commas still end values.
  shape->pointCapacity = lines - shape->header + commas / 3;
  textInputRewind(in);
  return lines;
}

int64_t readXyzPoints(TextInput* in, XyzPoint* points, int64_t capacity, bool skipHeader) {
  FieldText field;
  fieldInit(&field);
  double values[3];
  int valueIndex = 0;
  int64_t count = 0;
  bool inHeader = skipHeader;
  // Commas and line ends are the same separator here. The input may have grown since it was
  // checked; the array does not.
  ScanEnd end = scanFields(in, &field, [&](double value, uint8_t kind) {
    if (inHeader) {
      inHeader = kind != kByteLineEnd;
      return true;
    }
    values[valueIndex] = value;
    if (++valueIndex < 3) return true;
    valueIndex = 0;
    if (count < capacity) points[count++] = XyzPoint{values[0], values[1], values[2]};
    return true;
  });
  fieldRelease(&field);
  return end == ScanEnd::outOfMemory ? -1 : count;
}

namespace {

// Whether two X values are the same column of the grid file: equal as "%f" writes them, and so
// as the viewer reads them back (-0.000000 is 0.000000). Values apart by more than 2e-6 always
// write differently; only closer ones are written out.
bool sameGridX(double a, double b) {
  if (a == b) return true;
  if (std::fabs(a - b) > 2e-6) return false;
  char textA[kFixedTextMax], textB[kFixedTextMax];
  return parseDecimal(textA, formatFixed6(a, textA)) == parseDecimal(textB, formatFixed6(b, textB));
}

size_t rowEnd(const XyzPoint* points, size_t count, size_t start) {
  size_t end = start + 1;
  while (end < count && points[end].y == points[start].y) ++end;
  return end;
}

// The first way the row [start, end) differs from the first row [0, firstRowPoints).
GridMismatch rowMismatch(const XyzPoint* points, size_t start, size_t end, size_t firstRowPoints) {
  GridMismatch found{GridMismatch::none, points[start].y, static_cast<int64_t>(end - start),
                     static_cast<int64_t>(firstRowPoints), 0.0, 0.0};
  // Two Z at one X,Y, or one X twice: the row is sorted by X.
  for (size_t i = start + 1; i < end; ++i) {
    if (sameGridX(points[i - 1].x, points[i].x)) {
      found.kind = GridMismatch::repeatedX;
      found.x = points[i].x;
      return found;
    }
  }
  if (end - start != firstRowPoints) {
    found.kind = GridMismatch::pointCount;
    return found;
  }
  for (size_t i = start; start > 0 && i < end; ++i) {
    if (!sameGridX(points[i].x, points[i - start].x)) {
      found.kind = GridMismatch::otherX;
      found.x = points[i].x;
      found.firstRowX = points[i - start].x;
      return found;
    }
  }
  return found;
}

}  // namespace

GridMismatch findGridMismatch(const XyzPoint* points, size_t count) {
  if (count == 0) return GridMismatch{};
  size_t firstRowPoints = rowEnd(points, count, 0);
  GridMismatch found = rowMismatch(points, 0, firstRowPoints, firstRowPoints);
  for (size_t start = firstRowPoints, end; start < count && found.kind == GridMismatch::none; start = end) {
    // A grid's rows hold the very X values of the first row, which holds none twice.
    size_t k = 0;
    while (k < firstRowPoints && start + k < count && points[start + k].y == points[start].y &&
           points[start + k].x == points[k].x)
      ++k;
    end = start + k;
    if (k == firstRowPoints && (end == count || points[end].y != points[start].y)) continue;
    end = rowEnd(points, count, start);
    found = rowMismatch(points, start, end, firstRowPoints);
  }
  return found;
}

void writeGridFile(TextOutput* out, const XyzPoint* points, size_t count) {
  textOutputText(out, "XYZ");
  // The header lists the X values of the first row; a grid's later rows hold the same ones.
  for (size_t i = 0; i < count && points[i].y == points[0].y; ++i) {
    textOutputBytes(out, ",", 1);
    textOutputFixed6(out, points[i].x);
  }
  double rowY = 0.0;
  for (size_t i = 0; i < count; ++i) {
    if (i == 0 || points[i].y != rowY) {
      textOutputLineEnd(out);
      textOutputFixed6(out, points[i].y);
      rowY = points[i].y;
    }
    textOutputBytes(out, ",", 1);
    textOutputFixed6(out, points[i].z);
  }
}

void releaseXyzGrid(XyzGrid* grid) {
  releaseBytes(grid->points);
  *grid = XyzGrid{nullptr, 0};
}

GridLoad loadXyzGrid(TextInput* in, const XyzListShape& shape, XyzGrid* grid) {
  *grid = XyzGrid{nullptr, 0};
  GridLoad load{GridLoad::outOfMemory, 0, GridMismatch{}};
  int64_t pointCapacity = shape.pointCapacity;
  if (pointCapacity < 0 || static_cast<uint64_t>(pointCapacity) > SIZE_MAX / sizeof(XyzPoint)) return load;
  size_t bytes = static_cast<size_t>(pointCapacity) * sizeof(XyzPoint);
  XyzPoint* points = static_cast<XyzPoint*>(allocateBytes(bytes ? bytes : 1));
  if (!points) return load;
  int64_t count = readXyzPoints(in, points, pointCapacity, shape.header);
  if (count >= 0 && in->error == 0) {
    sortXyzPoints(points, static_cast<size_t>(count));
    load.mismatch = findGridMismatch(points, static_cast<size_t>(count));
    if (load.mismatch.kind == GridMismatch::none) {
      *grid = XyzGrid{points, static_cast<size_t>(count)};
      load.end = GridLoad::done;
      return load;
    }
    load.end = GridLoad::notGrid;
  } else if (in->error != 0) {
    load.end = GridLoad::readFailed;
    load.error = in->error;
  }
  releaseBytes(points);
  return load;
}

IoResult writeGridIntoFile(const XyzGrid& grid, OutputFile* file) {
  TextOutput out;
  if (!textOutputBegin(&out, drainToOutputFile, file)) {
    outputFileDiscard(file);
    return kIoOutOfMemory;
  }
  writeGridFile(&out, grid.points, grid.count);
  // A block that failed to drain has doomed the file: the commit reports its error.
  textOutputEnd(&out);
  return outputFileCommit(file);
}

GridLoad foldXyzList(TextInput* in, const XyzListShape& shape, TextOutput* out) {
  XyzGrid grid;
  GridLoad load = loadXyzGrid(in, shape, &grid);
  if (load.end != GridLoad::done) return load;
  writeGridFile(out, grid.points, grid.count);
  releaseXyzGrid(&grid);
  return load;
}
