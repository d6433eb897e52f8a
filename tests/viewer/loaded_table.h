// A table read from bytes in memory by the real readers, released when the test is done.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "viewer/point_table.h"

struct Loaded {
  PointTable table{};
  Extents extents{};
  ReadResult result{};
  Loaded() = default;
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  ~Loaded() { releaseTable(&table); }
  std::vector<double> row(int r, int count) const { return std::vector<double>(table.rows[r], table.rows[r] + count); }
};

// columnCapacity, rowCapacity, lastColumnIndex and lastRowIndex: the table's size in one value.
using Sizes = std::array<int32_t, 4>;
inline Sizes sizes(const PointTable& t) { return {t.columnCapacity, t.rowCapacity, t.lastColumnIndex, t.lastRowIndex}; }

// Reads size bytes at data with the reader of the kind; data must outlive the call only.
inline void loadBytes(Loaded* l, const void* data, size_t size, bool grid) {
  TextInput in;
  ASSERT_TRUE(textInputOpenMemory(&in, data, size));
  l->result = grid ? readGridFile(&in, &l->table, &l->extents) : readTwoRowFile(&in, &l->table, &l->extents);
  textInputClose(&in);
}
inline void load(Loaded* l, const std::string& bytes, bool grid) { loadBytes(l, bytes.data(), bytes.size(), grid); }
// For tests that build on the table: a failure when it does not read.
inline void loadOk(Loaded* l, const std::string& bytes, bool grid) {
  load(l, bytes, grid);
  ASSERT_EQ(l->result, ReadResult::ok);
}
