// DXF documents as the tests write them, and as they spell what they expect: groups written
// "code|value", the code right-aligned in three characters, CR LF after each line.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_output.h"
#include "viewer/dxf_writer.h"

constexpr DxfMethod k2D{true, false, false, false};
constexpr DxfMethod kLine{false, true, false, false};
constexpr DxfMethod kMesh{false, false, true, false};
constexpr DxfMethod kFace{false, false, false, true};

inline std::string document(const PointTable& table, DxfMethod method) {
  std::string text;
  TextOutput out;
  EXPECT_TRUE(textOutputBegin(&out, drainToString, &text));
  writeDxfDocument(&out, table, method);
  EXPECT_TRUE(textOutputEnd(&out));
  return text;
}

inline std::string groups(const std::vector<std::string>& list) {
  std::string text;
  for (const std::string& g : list) {
    size_t bar = g.find('|');
    std::string code = g.substr(0, bar);
    text += std::string(3 - code.size(), ' ') + code + "\r\n" + g.substr(bar + 1) + "\r\n";
  }
  return text;
}

inline const std::vector<std::string> kDocumentStart = {"0|SECTION", "2|ENTITIES"};
inline const std::vector<std::string> kDocumentEnd = {"0|ENDSEC", "0|EOF"};

inline std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
