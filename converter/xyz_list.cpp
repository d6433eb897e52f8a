#include "converter/xyz_list.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/field_scanner.h"
#include "common/memory.h"
#include "common/numbers.h"

namespace {

// One key by the sign of a - b in extended precision. The difference is NaN only for two equal
// infinities (equal) or when a NaN is involved; the scanner never makes one, but a NaN is put
// after every number so that the order stays a strict weak ordering whatever comes in.
int compareKey(double a, double b) {
  long double difference = static_cast<long double>(a) - static_cast<long double>(b);
  if (difference < 0) return -1;
  if (difference > 0) return 1;
  if (difference == 0) return 0;
  return static_cast<int>(std::isnan(a)) - static_cast<int>(std::isnan(b));
}

// The order of compareKey without the extended-precision arithmetic, for the sort's inner
// loop: for two doubles that are not NaN, a - b < 0 exactly when a < b (the difference of two
// distinct doubles never rounds to zero), and two equal infinities are equal either way.
inline int keyOrder(double a, double b) {
  if (a < b) return -1;
  if (b < a) return 1;
  if (a == b) return 0;
  return static_cast<int>(std::isnan(a)) - static_cast<int>(std::isnan(b));
}

// Among equal keys only the sign of a zero (or of a NaN) can differ: negative first.
inline int signOrder(double a, double b) {
  return static_cast<int>(std::signbit(b)) - static_cast<int>(std::signbit(a));
}

// The sort's order: compareXyzPoints, then the signs of the zeros of points it finds equal.
inline bool inGridOrder(const XyzPoint& a, const XyzPoint& b) {
  int order = keyOrder(a.y, b.y);
  if (order == 0 && (order = keyOrder(a.x, b.x)) == 0 && (order = keyOrder(a.z, b.z)) == 0 &&
      (order = signOrder(a.y, b.y)) == 0 && (order = signOrder(a.x, b.x)) == 0)
    order = signOrder(a.z, b.z);
  return order < 0;
}

bool holdsNan(const XyzPoint* points, size_t count) {
  bool nan = false;
  for (size_t i = 0; i < count; ++i)
    nan |= (points[i].x != points[i].x) | (points[i].y != points[i].y) | (points[i].z != points[i].z);
  return nan;
}

// --- the sort: most significant digit first, in place ------------------------------------------
// Each key (y, then x, then z, then the tie rule's signs of zeros) becomes 64 bits whose unsigned
// order is the order of the points. A range of points is distributed by the first byte in which
// its keys differ (in place: no second array), and each bucket goes on the same way; short ranges
// are finished by insertion.

constexpr size_t kInsertionRange = 24;
constexpr int kKeyCount = 4;

inline uint64_t orderedBits(double value) {
  if (value == 0) value = 0;  // negative zero sorts with zero; the tie rule comes last
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits >> 63 ? ~bits : bits | (uint64_t{1} << 63);
}

inline uint64_t sortKey(const XyzPoint& p, int key) {
  switch (key) {
    case 0: return orderedBits(p.y);
    case 1: return orderedBits(p.x);
    case 2: return orderedBits(p.z);
    default:  // equal points: negative zeros first, the sign of y before that of x before that of z
      return uint64_t{!std::signbit(p.y)} << 2 | uint64_t{!std::signbit(p.x)} << 1 | uint64_t{!std::signbit(p.z)};
  }
}

void insertionSort(XyzPoint* first, XyzPoint* last) {
  for (XyzPoint* i = first + 1; i < last; ++i) {
    XyzPoint value = *i;
    XyzPoint* j = i;
    for (; j > first && inGridOrder(value, j[-1]); --j) *j = j[-1];
    *j = value;
  }
}

// Moves every point of the range to the bucket of its key's byte at shift (American flag sort);
// ends[b] is where bucket b ends afterwards.
void distribute(XyzPoint* points, size_t count, int key, int shift, size_t (&ends)[256]) {
  size_t next[256] = {};
  for (size_t i = 0; i < count; ++i) ++next[(sortKey(points[i], key) >> shift) & 0xFF];
  size_t start = 0;
  for (int b = 0; b < 256; ++b) {
    size_t size = next[b];
    next[b] = start;
    start += size;
    ends[b] = start;
  }
  for (int b = 0; b < 256; ++b) {
    while (next[b] < ends[b]) {
      XyzPoint moving = points[next[b]];
      // Follow the cycle until a point that belongs here comes round.
      for (int d; (d = static_cast<int>((sortKey(moving, key) >> shift) & 0xFF)) != b;) std::swap(moving, points[next[d]++]);
      points[next[b]++] = moving;
    }
  }
}

void keyRange(const XyzPoint* points, size_t count, int key, uint64_t* low, uint64_t* high) {
  *low = ~uint64_t{0};
  *high = 0;
  for (size_t i = 0; i < count; ++i) {
    uint64_t k = sortKey(points[i], key);
    *low = k < *low ? k : *low;
    *high = k > *high ? k : *high;
  }
}

void radixSort(XyzPoint* points, size_t count, int key) {
  if (count <= kInsertionRange) return insertionSort(points, points + count);
  uint64_t low, high;
  keyRange(points, count, key, &low, &high);
  while (low == high) {  // equal keys: on to the next one, until the points are the same
    if (++key == kKeyCount) return;
    keyRange(points, count, key, &low, &high);
  }
  int shift = (63 - std::countl_zero(low ^ high)) & ~7;  // the first byte in which keys differ
  size_t ends[256];
  distribute(points, count, key, shift, ends);
  size_t start = 0;
  for (size_t end : ends) {
    if (end - start > 1) radixSort(points + start, end - start, key);
    start = end;
  }
}

}  // namespace

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

int compareXyzPoints(const XyzPoint& a, const XyzPoint& b) {
  int order = compareKey(a.y, b.y);
  if (order == 0) order = compareKey(a.x, b.x);
  if (order == 0) order = compareKey(a.z, b.z);
  return order;
}

void sortXyzPoints(XyzPoint* points, size_t count) {
  // The scanner never makes a NaN; should one come in all the same, the general order copes.
  if (holdsNan(points, count))
    std::sort(points, points + count, inGridOrder);
  else
    radixSort(points, count, 0);
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
