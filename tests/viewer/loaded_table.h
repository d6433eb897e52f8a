// A table read from in-memory text by the real readers, released when the test is done.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "viewer/point_table.h"

struct Loaded {
  PointTable table{};
  Extents extents{};
  ~Loaded() { releaseTable(&table); }
};

inline void load(Loaded* l, const std::string& text, bool grid) {
  TextInput in;
  ASSERT_TRUE(textInputOpenMemory(&in, text.data(), text.size()));
  ReadResult result = grid ? readGridFile(&in, &l->table, &l->extents) : readTwoRowFile(&in, &l->table, &l->extents);
  textInputClose(&in);
  ASSERT_EQ(result, ReadResult::ok);
}
