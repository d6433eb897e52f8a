#include "converter/xyz_list.h"

#include <cstdlib>
#include <cstring>

#include "common/field_scanner.h"
#include "common/memory.h"
#include "common/numbers.h"

namespace {

// Whether the bytes hold a decimal digit, and whether they hold anything but CR.
void noteFirstLine(const unsigned char* p, const unsigned char* end, bool* digit, bool* text) {
  for (; p < end; ++p) {
    *digit = *digit || (*p >= '0' && *p <= '9');
    *text = *text || *p != '\r';
  }
}

}  // namespace

int64_t validateXyzList(TextInput* in, XyzListShape* shape) {
  XyzListShape unused;
  if (!shape) shape = &unused;
  *shape = XyzListShape{false, 0, 0, 0};
  textInputRewind(in);
  int64_t lines = 0;
  int64_t commas = 0;  // in the current line
  // Spreadsheets and survey programs often put column names first. A blank first line is no
  // header: it fails where it stands, as blank lines do.
  bool firstDigit = false, firstText = false;
  bool good = forEachBlock(in, [&](const unsigned char* p, const unsigned char* const end) {
    while (const void* found = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
      const unsigned char* lineEnd = static_cast<const unsigned char*>(found);
      if (lines == 0) noteFirstLine(p, lineEnd, &firstDigit, &firstText);
      for (; p < lineEnd; ++p) commas += *p == ',';
      if (lines == 0 && firstText && !firstDigit) {
        shape->header = true;
      } else if (commas != 2) {
        return false;
      }
      ++lines;
      commas = 0;
      p = lineEnd + 1;
    }
    if (lines == 0) noteFirstLine(p, end, &firstDigit, &firstText);
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

void writeGridFile(TextOutput* out, const XyzPoint* points, size_t count) {
  textOutputText(out, "XYZ");
  // The header lists the X values of the first row only; later rows are not matched to it.
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

FoldResult foldXyzList(TextInput* in, const XyzListShape& shape, TextOutput* out) {
  int64_t pointCapacity = shape.pointCapacity;
  if (pointCapacity < 0 || static_cast<uint64_t>(pointCapacity) > SIZE_MAX / sizeof(XyzPoint))
    return FoldResult::outOfMemory;
  size_t bytes = static_cast<size_t>(pointCapacity) * sizeof(XyzPoint);
  XyzPoint* points = static_cast<XyzPoint*>(allocateBytes(bytes ? bytes : 1));
  if (!points) return FoldResult::outOfMemory;
  int64_t count = readXyzPoints(in, points, pointCapacity, shape.header);
  if (count < 0) {
    releaseBytes(points);
    return FoldResult::outOfMemory;
  }
  sortXyzPoints(points, static_cast<size_t>(count));
  writeGridFile(out, points, static_cast<size_t>(count));
  releaseBytes(points);
  return FoldResult::ok;
}

FoldFileResult foldIntoFile(TextInput* in, const XyzListShape& shape, OutputFile* file) {
  TextOutput out;
  FoldResult folded = FoldResult::outOfMemory;
  if (textOutputBegin(&out, drainToOutputFile, file)) {
    folded = foldXyzList(in, shape, &out);
    // A block that failed to drain has doomed the file: the commit reports its error.
    textOutputEnd(&out);
  }
  int readError = in->error;
  textInputClose(in);
  if (folded == FoldResult::outOfMemory || readError != 0) {
    outputFileDiscard(file);
    return readError != 0 ? FoldFileResult{FoldFileResult::readFailed, readError}
                          : FoldFileResult{FoldFileResult::outOfMemory, ENOMEM};
  }
  IoResult committed = outputFileCommit(file);
  return committed.kind == IoResult::ok ? FoldFileResult{FoldFileResult::done, 0}
                                        : FoldFileResult{FoldFileResult::writeFailed, committed.error};
}
