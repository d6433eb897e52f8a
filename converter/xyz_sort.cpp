// The grid order of XYZ points: rows by y, then x, then z, as compareXyzPoints orders them, and the
// sort that brings a point array into it.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "converter/xyz_list.h"

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
// order is the order of the points. A range of points is distributed by the highest bits in
// which its keys differ (in place: no second array), and each bucket goes on the same way; short
// ranges are finished by insertion.

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

// Moves every point of the range to the bucket of its key's digit of kBits bits at shift
// (American flag sort); ends[b] is where bucket b ends afterwards.
template <int kBits>
void distribute(XyzPoint* points, size_t count, int key, int shift, size_t (&ends)[1 << kBits]) {
  constexpr uint64_t kMask = (uint64_t{1} << kBits) - 1;
  auto digit = [&](const XyzPoint& p) { return static_cast<size_t>((sortKey(p, key) >> shift) & kMask); };
  size_t next[1 << kBits] = {};
  for (size_t i = 0; i < count; ++i) ++next[digit(points[i])];
  size_t start = 0;
  for (size_t b = 0; b <= kMask; ++b) {
    size_t size = next[b];
    next[b] = start;
    start += size;
    ends[b] = start;
  }
  for (size_t b = 0; b <= kMask; ++b) {
    while (next[b] < ends[b]) {
      XyzPoint moving = points[next[b]];
      // Follow the cycle until a point that belongs here comes round.
      for (size_t d; (d = digit(moving)) != b;) std::swap(moving, points[next[d]++]);
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

void radixSort(XyzPoint* points, size_t count, int key);

// Distributes the range by the kBits bits from the highest one in which its keys differ, then
// sorts each bucket.
template <int kBits>
void distributeAndRecurse(XyzPoint* points, size_t count, int key, uint64_t low, uint64_t high) {
  int shift = 63 - std::countl_zero(low ^ high) - (kBits - 1);
  if (shift < 0) shift = 0;
  size_t ends[1 << kBits];
  distribute<kBits>(points, count, key, shift, ends);
  size_t start = 0;
  for (size_t end : ends) {
    if (end - start > 1) radixSort(points + start, end - start, key);
    start = end;
  }
}

// Ranges this long are first split by a wider digit: one pass over memory where bytes would
// take two.
constexpr size_t kWideRange = size_t{1} << 16;

void radixSort(XyzPoint* points, size_t count, int key) {
  if (count <= kInsertionRange) return insertionSort(points, points + count);
  uint64_t low, high;
  keyRange(points, count, key, &low, &high);
  while (low == high) {  // equal keys: on to the next one, until the points are the same
    if (++key == kKeyCount) return;
    keyRange(points, count, key, &low, &high);
  }
  if (count >= kWideRange)
    distributeAndRecurse<12>(points, count, key, low, high);
  else
    distributeAndRecurse<8>(points, count, key, low, high);
}

}  // namespace

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

