#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/text_output.h"
#include "viewer/dxf_writer.h"
#include "tests/file_faults.h"
#include "tests/viewer/dxf_text.h"
#include "tests/viewer/loaded_table.h"
#include "viewer/point_table.h"

namespace {

std::vector<std::string> polyline(const char* flag) { return {"0|POLYLINE", "8|plotvane", "66|1", std::string("70|") + flag}; }
std::vector<std::string> vertex(const char* x, const char* y, const char* z) {
  return {"0|VERTEX", std::string("10|") + x, std::string("20|") + y, std::string("30|") + z};
}
const std::vector<std::string> kSeqend = {"0|SEQEND"};


const char kGrid[] = "XYZ,1,2,3\r\n10,5,6,7\r\n20,8,9,10\r\n";

TEST(DxfWriter, ProfilePolyline) {
  Loaded l;
  loadOk(&l, "0,1,2\r\n5,6,7\r\n", false);
  std::string expected = groups(kDocumentStart + polyline("0") +
                                std::vector<std::string>{"0|VERTEX", "10|0.000000", "20|5.000000", "0|VERTEX", "10|1.000000",
                                                         "20|6.000000", "0|VERTEX", "10|2.000000", "20|7.000000"} +
                                kSeqend + kDocumentEnd);
  EXPECT_EQ(document(l.table, k2D), expected);
  // The Method buttons keep their state while hidden and are not consulted in 2D.
  EXPECT_EQ(document(l.table, DxfMethod{true, false, true, true}), expected);
  EXPECT_EQ(document(l.table, DxfMethod{true, true, false, false}), expected);
}

TEST(DxfWriter, GridLinesColumnsFirstThenRows) {
  Loaded l;
  loadOk(&l, kGrid, true);
  std::string expected = groups(
      kDocumentStart +
      polyline("8") + vertex("1.000000", "10.000000", "5.000000") + vertex("1.000000", "20.000000", "8.000000") + kSeqend +
      polyline("8") + vertex("2.000000", "10.000000", "6.000000") + vertex("2.000000", "20.000000", "9.000000") + kSeqend +
      polyline("8") + vertex("3.000000", "10.000000", "7.000000") + vertex("3.000000", "20.000000", "10.000000") + kSeqend +
      polyline("8") + vertex("1.000000", "10.000000", "5.000000") + vertex("2.000000", "10.000000", "6.000000") +
      vertex("3.000000", "10.000000", "7.000000") + kSeqend +
      polyline("8") + vertex("1.000000", "20.000000", "8.000000") + vertex("2.000000", "20.000000", "9.000000") +
      vertex("3.000000", "20.000000", "10.000000") + kSeqend + kDocumentEnd);
  EXPECT_EQ(document(l.table, kLine), expected);
}

TEST(DxfWriter, GridMeshClosedQuadsColumnPairByColumnPair) {
  Loaded l;
  loadOk(&l, kGrid, true);
  std::string expected = groups(
      kDocumentStart +
      polyline("9") + vertex("1.000000", "10.000000", "5.000000") + vertex("2.000000", "10.000000", "6.000000") +
      vertex("2.000000", "20.000000", "9.000000") + vertex("1.000000", "20.000000", "8.000000") + kSeqend +
      polyline("9") + vertex("2.000000", "10.000000", "6.000000") + vertex("3.000000", "10.000000", "7.000000") +
      vertex("3.000000", "20.000000", "10.000000") + vertex("2.000000", "20.000000", "9.000000") + kSeqend + kDocumentEnd);
  EXPECT_EQ(document(l.table, kMesh), expected);
}

TEST(DxfWriter, GridFacesWithTheirOwnSeqend) {
  Loaded l;
  loadOk(&l, kGrid, true);
  auto face = [](std::vector<const char*> v) {
    std::vector<std::string> g = {"0|3DFACE", "8|plotvane", "66|1", "70|9"};
    const char* codes[] = {"10", "20", "30", "11", "21", "31", "12", "22", "32", "13", "23", "33"};
    for (int k = 0; k < 12; ++k) g.push_back(std::string(codes[k]) + "|" + v[k]);
    g.push_back("0|SEQEND");
    return g;
  };
  std::string expected = groups(
      kDocumentStart +
      face({"1.000000", "10.000000", "5.000000", "2.000000", "10.000000", "6.000000", "2.000000", "20.000000", "9.000000",
            "1.000000", "20.000000", "8.000000"}) +
      face({"2.000000", "10.000000", "6.000000", "3.000000", "10.000000", "7.000000", "3.000000", "20.000000", "10.000000",
            "2.000000", "20.000000", "9.000000"}) +
      kDocumentEnd);
  EXPECT_EQ(document(l.table, kFace), expected);
  EXPECT_EQ(document(l.table, DxfMethod{false, false, false, false}), groups(kDocumentStart + kDocumentEnd));
  EXPECT_EQ(document(l.table, DxfMethod{false, true, true, true}), document(l.table, kLine));
}

// Three columns by four rows, Z = 10 j + i (X 0, 10, 30; Y 0 to 30): every point tells its node,
// so the order of the nodes in each document shows swapped axes or loops.
TEST(DxfWriter, NodesOfThreeColumnsByFourRowsInTheirOrder) {
  Loaded l;
  loadOk(&l, "XYZ,0,10,30\r\n0,11,12,13\r\n10,21,22,23\r\n20,31,32,33\r\n30,41,42,43\r\n", true);
  struct Case {
    const char* name;
    DxfMethod method;
    std::vector<int> nodes;  // Z of every vertex or corner, in document order
  } cases[] = {
      {"Line: columns, then rows", kLine,
       {11, 21, 31, 41, 12, 22, 32, 42, 13, 23, 33, 43, 11, 12, 13, 21, 22, 23, 31, 32, 33, 41, 42, 43}},
      {"Mesh: column pairs outside, rows inside", kMesh,
       {11, 12, 22, 21, 21, 22, 32, 31, 31, 32, 42, 41, 12, 13, 23, 22, 22, 23, 33, 32, 32, 33, 43, 42}},
      {"Face: as Mesh", kFace,
       {11, 12, 22, 21, 21, 22, 32, 31, 31, 32, 42, 41, 12, 13, 23, 22, 22, 23, 33, 32, 32, 33, 43, 42}},
  };
  const double columnX[] = {0, 0, 10, 30};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> nodes;
    std::string text = document(l.table, c.method);
    double x = 0, y = 0;
    for (size_t at = 0; at < text.size();) {
      size_t codeEnd = text.find("\r\n", at), valueEnd = text.find("\r\n", codeEnd + 2);
      int code = std::stoi(text.substr(at, codeEnd - at));
      double value = code >= 10 ? std::stod(text.substr(codeEnd + 2, valueEnd - codeEnd - 2)) : 0;
      if (code >= 10 && code <= 13) x = value;
      if (code >= 20 && code <= 23) y = value;
      if (code >= 30 && code <= 33) {  // the node's own X and Y go with its Z
        int z = static_cast<int>(value);
        EXPECT_EQ(x, columnX[z % 10]) << z;
        EXPECT_EQ(y, 10.0 * (z / 10 - 1)) << z;
        nodes.push_back(z);
      }
      at = valueEnd + 2;
    }
    EXPECT_EQ(nodes, c.nodes);
  }
}

TEST(DxfWriter, SmallGrids) {
  Loaded one;
  loadOk(&one, "XYZ,1,2\n10,5,-0\n", true);  // one data row
  EXPECT_EQ(document(one.table, kMesh), groups(kDocumentStart + kDocumentEnd));
  EXPECT_EQ(document(one.table, kFace), groups(kDocumentStart + kDocumentEnd));
  EXPECT_EQ(document(one.table, kLine),
            groups(kDocumentStart + polyline("8") + vertex("1.000000", "10.000000", "5.000000") + kSeqend + polyline("8") +
                   vertex("2.000000", "10.000000", "-0.000000") + kSeqend + polyline("8") +
                   vertex("1.000000", "10.000000", "5.000000") + vertex("2.000000", "10.000000", "-0.000000") + kSeqend +
                   kDocumentEnd));
  Loaded empty;
  loadOk(&empty, "", true);  // no header line: an empty table
  for (DxfMethod m : {k2D, kLine, kMesh, kFace}) EXPECT_EQ(document(empty.table, m), groups(kDocumentStart + kDocumentEnd));
  Loaded narrow;
  loadOk(&narrow, "XYZ\n1\n2\n", true);  // no comma in the header
  EXPECT_EQ(document(narrow.table, kLine), groups(kDocumentStart + polyline("8") + kSeqend + polyline("8") + kSeqend + kDocumentEnd));
  EXPECT_EQ(document(narrow.table, kFace), groups(kDocumentStart + kDocumentEnd));
}

size_t countGroups(const std::string& text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines / 2;
}

// Group counts of every writer over random grids: the frame's 4 groups plus the writer's share.
TEST(DxfWriter, GroupCountsFollowTheGridSize) {
  std::mt19937 rng(11);
  for (int n = 0; n < 60; ++n) {
    int columns = static_cast<int>(rng() % 7), rows = static_cast<int>(rng() % 7);
    std::string text = "XYZ";
    for (int i = 1; i <= columns; ++i) text += "," + std::to_string(i * 1.25);
    for (int j = 1; j <= rows; ++j) {
      text += "\n" + std::to_string(j * -3);
      for (int i = 1; i <= columns; ++i) text += "," + std::to_string(static_cast<int>(rng() % 1000) - 500);
    }
    Loaded l;
    loadOk(&l, text + "\n", true);
    const size_t L = static_cast<size_t>(l.table.lastColumnIndex), R = static_cast<size_t>(l.table.lastRowIndex);
    ASSERT_EQ(L, static_cast<size_t>(columns));
    size_t cells = L >= 2 && R >= 2 ? (L - 1) * (R - 1) : 0;
    EXPECT_EQ(countGroups(document(l.table, kLine)), 4 + 5 * (L + R) + 8 * L * R);
    EXPECT_EQ(countGroups(document(l.table, kMesh)), 4 + 21 * cells);
    EXPECT_EQ(countGroups(document(l.table, kFace)), 4 + 17 * cells);
  }
  Loaded profile;
  loadOk(&profile, "1,2,3,4\n5,6\n", false);
  EXPECT_EQ(countGroups(document(profile.table, k2D)), 4 + 3 * 3 + 8u);
}

TEST(DxfWriter, SavesThroughAFileAndReportsFailures) {
  Loaded l;
  loadOk(&l, kGrid, true);
  std::string path = ::testing::TempDir() + "dxf_writer_save.dxf";
  ASSERT_EQ(saveDxfFile(path.c_str(), l.table, kFace).kind, IoResult::ok);
  std::string written;
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(f);
  for (int c; (c = std::fgetc(f)) != EOF;) written += static_cast<char>(c);
  std::fclose(f);
  EXPECT_EQ(written, document(l.table, kFace));
  std::remove(path.c_str());
  IoResult missing = saveDxfFile((::testing::TempDir() + "no-such-folder/x.dxf").c_str(), l.table, kFace);
  EXPECT_EQ(missing.kind, IoResult::failed);
  EXPECT_EQ(missing.error, kMissingFolder);
#ifndef _WIN32
  IoResult full = saveDxfFile("/dev/full", l.table, kFace);
  EXPECT_EQ(full.kind, IoResult::failed);
  EXPECT_EQ(full.error, ENOSPC);
#endif
}

}  // namespace
