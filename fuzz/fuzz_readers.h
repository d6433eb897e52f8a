// What every reader target checks: indices within the table, extents ordered, and documents
// well formed with the group counts that the grid size implies.
#pragma once

#include <cmath>
#include <string>
#include <string_view>

#include "common/text_output.h"
#include "fuzz/fuzz_check.h"
#include "viewer/dxf_writer.h"
#include "viewer/point_table.h"

inline std::string fuzzDocument(const PointTable& table, DxfMethod method) {
  std::string text;
  TextOutput out;
  if (!textOutputBegin(&out, drainToString, &text)) return text;
  writeDxfDocument(&out, table, method);
  FUZZ_CHECK(textOutputEnd(&out));
  return text;
}

// Returns the number of groups after checking that the text is pairs of lines, every line ending
// in CR LF and every code line a right-aligned number.
inline size_t fuzzCountGroups(const std::string& text) {
  size_t lines = 0, at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    FUZZ_CHECK(end != std::string::npos);
    std::string_view line(text.data() + at, end - at);
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
    if (lines % 2 == 0) {
      FUZZ_CHECK(line.size() == 3 && line[2] >= '0' && line[2] <= '9');
    } else {
      FUZZ_CHECK(!line.empty() && line.front() != ' ' && line.back() != ' ');
    }
    ++lines;
    at = end + 2;
  }
  FUZZ_CHECK(lines % 2 == 0);
  return lines / 2;
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
