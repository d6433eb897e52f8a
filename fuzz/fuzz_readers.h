// What every reader target checks: indices within the table, extents ordered, and documents
// well formed with the group counts that the grid size implies.
#pragma once

#include <cmath>
#include <cstddef>

#include "common/text_output.h"
#include "fuzz/fuzz_check.h"
#include "viewer/dxf_writer.h"
#include "viewer/point_table.h"

// Checks a document as it is written, block by block: pairs of lines, every line ending in CR LF
// (no other CR or LF anywhere), every code line a right-aligned number, every value line without
// blanks around it. Counts the lines.
struct DocumentCheck {
  size_t lines;
  size_t length;  // of the line being read
  char head[3];   // its first three bytes
  char last;
  bool carriageReturn;  // the block ended right after a CR
};

FUZZ_HARNESS inline void fuzzEndLine(DocumentCheck* c) {
  if (c->lines % 2 == 0) {
    FUZZ_CHECK(c->length == 3 && c->head[2] >= '0' && c->head[2] <= '9');
  } else {
    FUZZ_CHECK(c->length > 0 && c->head[0] != ' ' && c->last != ' ');
  }
  ++c->lines;
  c->length = 0;
}

// Byte by byte, for a line that a block boundary cuts: the line's state goes on in c.
FUZZ_HARNESS inline const char* fuzzCheckBytes(DocumentCheck* c, const char* p, const char* end, bool toLineEnd) {
  while (p < end) {
    char b = *p++;
    if (c->carriageReturn) {
      FUZZ_CHECK(b == '\n');
      c->carriageReturn = false;
      fuzzEndLine(c);
      if (toLineEnd) break;
    } else if (b == '\r') {
      c->carriageReturn = true;
    } else {
      FUZZ_CHECK(b != '\n');  // an LF without its CR
      if (c->length < 3) c->head[c->length] = b;
      c->last = b;
      ++c->length;
    }
  }
  return p;
}

FUZZ_HARNESS inline bool fuzzDrainToCheck(void* context, const char* data, size_t size) {
  DocumentCheck* c = static_cast<DocumentCheck*>(context);
  const char* p = data;
  const char* const end = data + size;
  // The line the previous block left open.
  if (c->length > 0 || c->carriageReturn) p = fuzzCheckBytes(c, p, end, true);
  // Whole lines, while they lie in the block.
  while (p < end) {
    const char* q = p;
    while (q < end && *q != '\r') FUZZ_CHECK(*q++ != '\n');  // an LF without its CR
    if (end - q < 2) break;
    FUZZ_CHECK(q[1] == '\n');
    c->length = static_cast<size_t>(q - p);
    for (size_t k = 0; k < 3 && k < c->length; ++k) c->head[k] = p[k];
    c->last = c->length ? q[-1] : 0;
    fuzzEndLine(c);
    p = q + 2;
  }
  fuzzCheckBytes(c, p, end, false);
  return true;
}

// Writes the table's document with the method through the check; returns its number of groups.
inline size_t fuzzDocumentGroups(const PointTable& table, DxfMethod method) {
  DocumentCheck check{};
  TextOutput out;
  if (!textOutputBegin(&out, fuzzDrainToCheck, &check, kFuzzOutputBlock)) return 0;
  writeDxfDocument(&out, table, method);
  FUZZ_CHECK(textOutputEnd(&out));
  FUZZ_CHECK(!check.carriageReturn && check.length == 0 && check.lines % 2 == 0);
  return check.lines / 2;
}

inline bool fuzzOrdered(double low, double high) { return std::isnan(low) || std::isnan(high) || low <= high; }

inline void fuzzCheckTable(const PointTable& t, const Extents& e) {
  FUZZ_CHECK(t.lastColumnIndex >= 0 && t.lastRowIndex >= 0);
  if (!t.rows) {
    FUZZ_CHECK(t.columnCapacity == 0 && t.rowCapacity == 0 && t.lastColumnIndex == 0 && t.lastRowIndex == 0);
    return;
  }
  FUZZ_CHECK(t.lastColumnIndex < t.columnCapacity);
  FUZZ_CHECK(t.lastRowIndex <= t.rowCapacity);
  FUZZ_CHECK(fuzzOrdered(e.xMin, e.xMax) && fuzzOrdered(e.yMin, e.yMax));
}
