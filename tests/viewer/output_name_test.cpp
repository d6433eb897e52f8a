#include "viewer/output_name.h"

#include <gtest/gtest.h>

namespace {

// Paths are UTF-8: no byte of 表 (E8 A1 A8), of ë or of an emoji can be taken for a backslash.
TEST(OutputName, FileNamePartWithItsLastExtensionReplaced) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {
      {"C:\\data\\grid.csv", "grid.dxf"},
      {"C:\\data\\grid", "grid.dxf"},
      {"C:\\data\\a.b.c.csv", "a.b.c.dxf"},
      {"grid.csv", "grid.dxf"},
      {"C:\\data.d\\grid", "grid.dxf"},  // a dot in a folder name is not the file's
      {"C:\\測点\\表.csv", "表.dxf"},
      {"C:\\Zoë\\ソ.csv", "ソ.dxf"},
      {"C:\\한글 측량\\\xF0\x9F\x93\x90.csv", "\xF0\x9F\x93\x90.dxf"},
      {"C:\\data\\", ".dxf"},
      // Windows takes "/" as a separator too, as scripts and Python's pathlib write paths.
      {"C:/site/TMP1.csv", "TMP1.dxf"},
      {"C:\\site/sub.d\\grid.v2.csv", "grid.v2.dxf"},
      {"C:/site\\sub.d/grid", "grid.dxf"},
      {"", ".dxf"},
  };
  for (const Case& c : cases) EXPECT_EQ(outputName(c.path), c.name) << c.path;
}

}  // namespace
