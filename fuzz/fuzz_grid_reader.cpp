// The grid reader on any bytes, then every grid writer on the table it leaves.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_readers.h"

// Every stored node lies within the extents: check the nodes whose cells are all non-zero, which
// the reader must have stored (unstored cells read 0.0).
FUZZ_HARNESS void checkNodesWithinExtents(const PointTable& t, const Extents& e) {
  for (int32_t j = 1; j <= t.lastRowIndex && t.rows; ++j)
    for (int32_t i = 1; i <= t.lastColumnIndex; ++i) {
      double x = t.rows[0][i], y = t.rows[j][0], z = t.rows[j][i];
      if (x == 0 || y == 0 || z == 0) continue;
      double u = static_cast<double>(isoU(x, y)), v = static_cast<double>(isoV(x, y, z));
      if (std::isnan(u) || std::isnan(v) || std::isnan(e.xMin) || std::isnan(e.yMin) || std::isnan(e.xMax) ||
          std::isnan(e.yMax))
        continue;
      FUZZ_CHECK(e.xMin <= u && u <= e.xMax && e.yMin <= v && v <= e.yMax);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextInput in;
  if (!textInputOpenMemory(&in, data, size)) return 0;
  PointTable t{};
  Extents e{};
  ReadResult result = readGridFile(&in, &t, &e);
  textInputClose(&in);
  if (result == ReadResult::outOfMemory) {
    FUZZ_CHECK(t.rows == nullptr);
    return 0;
  }
  fuzzCheckTable(t, e);
  checkNodesWithinExtents(t, e);
  const size_t L = static_cast<size_t>(t.lastColumnIndex), R = static_cast<size_t>(t.lastRowIndex);
  const size_t cells = L >= 2 && R >= 2 ? (L - 1) * (R - 1) : 0;
  if (L * R < 2000) {  // larger grids: the same code, only slower
    FUZZ_CHECK(fuzzDocumentGroups(t, DxfMethod{false, true, false, false}) == 4 + 5 * (L + R) + 8 * L * R);
    FUZZ_CHECK(fuzzDocumentGroups(t, DxfMethod{false, false, true, false}) == 4 + 21 * cells);
    FUZZ_CHECK(fuzzDocumentGroups(t, DxfMethod{false, false, false, true}) == 4 + 17 * cells);
  }
  releaseTable(&t);
  return 0;
}
