#include "converter/xyz_list.h"

#include <algorithm>
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

// compareXyzPoints(a, b) < 0 for points without NaN, without branches on the data: the
// partition below then does not stall on comparisons that go either way at random.
inline bool precedes(const XyzPoint& a, const XyzPoint& b) {
  return (a.y < b.y) | ((a.y == b.y) & ((a.x < b.x) | ((a.x == b.x) & (a.z < b.z))));
}

constexpr ptrdiff_t kInsertionRange = 24;
constexpr size_t kPartitionBlock = 64;

void insertionSort(XyzPoint* first, XyzPoint* last) {
  for (XyzPoint* i = first + 1; i < last; ++i) {
    XyzPoint value = *i;
    XyzPoint* j = i;
    for (; j > first && precedes(value, j[-1]); --j) *j = j[-1];
    *j = value;
  }
}

// Orders the first, middle and last point among themselves and moves the middle one (their
// median) to the front as the pivot; the last point then stops a scan to the right.
void pivotToFront(XyzPoint* first, XyzPoint* last) {
  XyzPoint* a = first;
  XyzPoint* b = first + (last - first) / 2;
  XyzPoint* c = last - 1;
  if (precedes(*b, *a)) std::swap(*a, *b);
  if (precedes(*c, *b)) {
    std::swap(*b, *c);
    if (precedes(*b, *a)) std::swap(*a, *b);
  }
  std::swap(*first, *b);
}

// Partition around the pivot at the front, in blocks (Edelkamp and Weiss): the outcome of each
// comparison only moves an offset cursor, and the misplaced points found on both sides are then
// exchanged in one go, so random outcomes cost no mispredicted branches. Returns the pivot's
// final place: the points before it precede it, the points after it do not.
XyzPoint* partitionAroundFront(XyzPoint* begin, XyzPoint* end) {
  const XyzPoint pivot = *begin;
  XyzPoint* first = begin;
  XyzPoint* last = end;
  // The median of three leaves a point that does not precede the pivot at the end, and once a
  // point precedes it on the left, the scan from the right stops there.
  while (precedes(*++first, pivot)) {
  }
  if (first - 1 == begin) {
    while (first < last && !precedes(*--last, pivot)) {
    }
  } else {
    while (!precedes(*--last, pivot)) {
    }
  }
  if (first < last) {
    std::swap(*first, *last);
    ++first;
    unsigned char leftOffsets[kPartitionBlock];
    unsigned char rightOffsets[kPartitionBlock];
    XyzPoint* leftBase = first;
    XyzPoint* rightBase = last;
    size_t leftCount = 0, rightCount = 0, leftStart = 0, rightStart = 0;
    while (first < last) {
      size_t unknown = static_cast<size_t>(last - first);
      size_t leftSplit = leftCount == 0 ? (rightCount == 0 ? unknown / 2 : unknown) : 0;
      size_t rightSplit = rightCount == 0 ? unknown - leftSplit : 0;
      if (leftSplit > kPartitionBlock) leftSplit = kPartitionBlock;
      if (rightSplit > kPartitionBlock) rightSplit = kPartitionBlock;
      for (size_t i = 0; i < leftSplit; ++i) {
        leftOffsets[leftCount] = static_cast<unsigned char>(i);
        leftCount += !precedes(*first++, pivot);
      }
      for (size_t i = 0; i < rightSplit; ++i) {
        rightOffsets[rightCount] = static_cast<unsigned char>(i + 1);
        rightCount += precedes(*--last, pivot);
      }
      size_t pairs = std::min(leftCount, rightCount);
      for (size_t i = 0; i < pairs; ++i)
        std::swap(leftBase[leftOffsets[leftStart + i]], rightBase[-static_cast<ptrdiff_t>(rightOffsets[rightStart + i])]);
      leftCount -= pairs;
      rightCount -= pairs;
      leftStart += pairs;
      rightStart += pairs;
      if (leftCount == 0) {
        leftStart = 0;
        leftBase = first;
      }
      if (rightCount == 0) {
        rightStart = 0;
        rightBase = last;
      }
    }
    // One side may still hold misplaced points: move them across the boundary.
    if (leftCount) {
      while (leftCount--) std::swap(leftBase[leftOffsets[leftStart + leftCount]], *--last);
      first = last;
    }
    if (rightCount) {
      while (rightCount--) std::swap(rightBase[-static_cast<ptrdiff_t>(rightOffsets[rightStart + rightCount])], *first++);
    }
  }
  XyzPoint* cut = first - 1;
  *begin = *cut;
  *cut = pivot;
  return cut;
}

// Quicksort on the smaller side first; heapsort once the depth shows a bad run of pivots
// (many equal points, for one).
void introsort(XyzPoint* first, XyzPoint* last, int depthLimit) {
  while (last - first > kInsertionRange) {
    if (depthLimit-- == 0) {
      std::make_heap(first, last, precedes);
      std::sort_heap(first, last, precedes);
      return;
    }
    pivotToFront(first, last);
    XyzPoint* cut = partitionAroundFront(first, last);
    if (cut - first < last - cut) {
      introsort(first, cut, depthLimit);
      first = cut + 1;
    } else {
      introsort(cut + 1, last, depthLimit);
      last = cut;
    }
  }
  insertionSort(first, last);
}

bool holdsNan(const XyzPoint* points, size_t count) {
  bool nan = false;
  for (size_t i = 0; i < count; ++i)
    nan |= (points[i].x != points[i].x) | (points[i].y != points[i].y) | (points[i].z != points[i].z);
  return nan;
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
  if (holdsNan(points, count)) {
    std::sort(points, points + count, inGridOrder);
    return;
  }
  int depthLimit = 0;
  for (size_t n = count; n > 1; n >>= 1) depthLimit += 2;
  introsort(points, points + count, depthLimit);
  // Equal points now lie together; where they differ in the signs of zeros, negative first.
  for (size_t run = 0, next; run < count; run = next) {
    for (next = run + 1; next < count && !precedes(points[run], points[next]);) ++next;
    if (next - run > 1) std::sort(points + run, points + next, inGridOrder);
  }
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
