// The two-row reader on any bytes, then the profile writer.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextInput in;
  if (!textInputOpenMemory(&in, data, size)) return 0;
  PointTable t{};
  Extents e{};
  ReadResult result = readTwoRowFile(&in, &t, &e);
  textInputClose(&in);
  if (result == ReadResult::outOfMemory) return 0;
  fuzzCheckTable(t, e);
  FUZZ_CHECK(t.rowCapacity == 2 && t.columnCapacity >= kTwoRowColumns);
  for (int32_t k = 0; k <= t.lastColumnIndex; ++k) {
    double x = t.rows[0][k];
    if (x != 0 && !std::isnan(x) && !std::isnan(e.xMin)) FUZZ_CHECK(e.xMin <= x && x <= e.xMax);
  }
  const size_t L = static_cast<size_t>(t.lastColumnIndex);
  FUZZ_CHECK(fuzzDocumentGroups(t, DxfMethod{true, false, false, false}) == 4 + 3 * L + 8);
  releaseTable(&t);
  return 0;
}
