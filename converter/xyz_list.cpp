#include "converter/xyz_list.h"

#include <cstdlib>
#include <cstring>

#include "common/field_scanner.h"
#include "common/memory.h"
#include "common/numbers.h"

int64_t validateXyzList(TextInput* in, XyzListShape* shape) {
  XyzListShape unused;
  if (!shape) shape = &unused;
  *shape = XyzListShape{0, 0};
  textInputRewind(in);
  int64_t lines = 0;
  int64_t commas = 0;  // in the current line
  bool good = forEachBlock(in, [&](const unsigned char* p, const unsigned char* const end) {
    while (const void* found = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
      const unsigned char* lineEnd = static_cast<const unsigned char*>(found);
      for (; p < lineEnd; ++p) commas += *p == ',';
      if (commas != 2) return false;
      ++lines;
      commas = 0;
      p = lineEnd + 1;
    }
    for (; p < end; ++p) commas += *p == ',';
    return true;
  });
  if (!good) {
    shape->badLineCommas = commas;
    return -lines;
  }
  if (lines == 0) {
    shape->badLineCommas = -1;
    return 0;
  }
  // A last line without a line end is not checked, but its commas still end values.
  shape->pointCapacity = lines + commas / 3;
  textInputRewind(in);
  return lines;
}

int64_t readXyzPoints(TextInput* in, XyzPoint* points, int64_t capacity) {
  FieldText field;
  fieldInit(&field);
  double values[3];
  int valueIndex = 0;
  int64_t count = 0;
  // Commas and line ends are the same separator here. The input may have grown since it was
  // checked; the array does not.
  ScanEnd end = scanFields(in, &field, [&](double value, uint8_t) {
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

FoldResult foldXyzList(TextInput* in, int64_t pointCapacity, TextOutput* out) {
  if (pointCapacity < 0 || static_cast<uint64_t>(pointCapacity) > SIZE_MAX / sizeof(XyzPoint))
    return FoldResult::outOfMemory;
  size_t bytes = static_cast<size_t>(pointCapacity) * sizeof(XyzPoint);
  XyzPoint* points = static_cast<XyzPoint*>(allocateBytes(bytes ? bytes : 1));
  if (!points) return FoldResult::outOfMemory;
  int64_t count = readXyzPoints(in, points, pointCapacity);
  if (count < 0) {
    releaseBytes(points);
    return FoldResult::outOfMemory;
  }
  sortXyzPoints(points, static_cast<size_t>(count));
  writeGridFile(out, points, static_cast<size_t>(count));
  releaseBytes(points);
  return FoldResult::ok;
}
