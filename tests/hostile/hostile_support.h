// Helpers of the hostile-input tests: reading committed inputs and in-memory bytes, comparing
// doubles by their bits, describing canvas operations, and documents written by the writers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/text_output.h"
#include "platform/canvas_list/canvas_list.h"
#include "viewer/dxf_writer.h"
#include "viewer/point_table.h"
#include "tests/viewer/canvas_text.h"
#include "tests/viewer/dxf_text.h"
#include "viewer/preview.h"

namespace hostile {

// The bytes of tests/data/hostile/name, read in binary mode.
std::string inputFile(const char* name);

struct Loaded {
  PointTable table{};
  Extents extents{};
  ReadResult result{};
  Loaded() = default;
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  ~Loaded() { releaseTable(&table); }
};

// Reads size bytes at data with the reader of the kind; data must outlive the call only.
void loadBytes(Loaded* l, const void* data, size_t size, bool grid);
inline void load(Loaded* l, const std::string& bytes, bool grid) { loadBytes(l, bytes.data(), bytes.size(), grid); }

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
// "-0", "+INF", "NaN" and the shortest round-trip digits otherwise: readable in failures.
std::string show(double value);
std::string showRow(const double* cells, int count);
std::string showExtents(const Extents& e);

// The example preview frame: panel 100 x 151, dialog 302 wide.
constexpr PreviewArea kArea{101, 200, 150};
const std::string kFrame = "frame 101 0 302 151";

inline std::vector<CanvasOp> draw(bool grid, const PointTable& table, const Extents& extents, const PreviewArea& area = kArea) {
  return ::draw(grid, area, table, extents);
}


// The document built straight from the layout rules, values formatted by the C library's "%f":
// a second opinion on which cells the writers read and how they print them.
std::string referenceDocument(const PointTable& table, DxfMethod method);

// A drain that keeps only what a huge document's checks need: its size, its line count, whether
// every line ends with CR LF, and its last bytes.
struct DocumentSummary {
  uint64_t bytes = 0;
  uint64_t lines = 0;
  bool bareLineFeed = false;
  bool previousWasCr = false;
  std::string tail;
};
bool drainToSummary(void* context, const char* data, size_t size);
DocumentSummary summarize(const PointTable& table, DxfMethod method);

}  // namespace hostile
