#include "viewer/output_name.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"

namespace {

TEST(OutputName, FileNamePartWithItsLastExtensionReplaced) {
  struct Case {
    const char* path;
    const char* name;
    unsigned codePage = 932;
  } cases[] = {
      {"C:\\data\\grid.csv", "grid.dxf"},
      {"C:\\data\\grid", "grid.dxf"},
      {"C:\\data\\a.b.c.csv", "a.b.c.dxf"},
      {"grid.csv", "grid.dxf"},
      {"C:\\data.d\\grid", "grid.dxf"},  // a dot in a folder name is not the file's
      {"C:\\測点\\表.csv", "表.dxf"},     // 表 ends in the byte of a backslash
      {"C:\\ソ.csv", "ソ.dxf"},
      {"C:\\data\\", ".dxf"},
      {"", ".dxf"},
      {"C:\\Jos\xe9\\pts.csv", "pts.dxf", 1252},  // é is one byte of its own in 1252
      {"C:\\Jos\xe9\\pts.csv", "Jos\xe9\\pts.dxf", 932},
  };
  for (const Case& c : cases) {
    pathCodePageOverride(c.codePage);
    EXPECT_EQ(outputName(c.path), c.name) << c.codePage << " " << c.path;
  }
  pathCodePageOverride(932);
  EXPECT_EQ(fileNamePart("C:\\測点\\表.csv"), "表.csv");
  pathCodePageOverride(0);
}

}  // namespace
