// Helpers the converter tests share: folding text in memory, and scratch folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/numbers.h"
#include "common/text_input.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "platform/recording/recording.h"
#include "tests/test_files.h"
#include "platform/file_system.h"

inline std::string fixedText(double value) {
  char text[kFixedTextMax];
  return std::string(text, formatFixed6(value, text));
}

// Where a list stops being a grid, in short.
inline std::string describeMismatch(const GridMismatch& m) {
  std::string row = "<not a grid: Y=" + fixedText(m.rowY);
  if (m.kind == GridMismatch::repeatedX) return row + " X=" + fixedText(m.x) + " twice>";
  if (m.kind == GridMismatch::pointCount) return row + " holds " + std::to_string(m.rowPoints) + " of " + std::to_string(m.firstRowPoints) + ">";
  return row + " X=" + fixedText(m.x) + " for " + fixedText(m.firstRowX) + ">";
}

// The grid file the converter makes of an XYZ list, "<check r>" when the check fails, or where
// the list is not a grid.
inline std::string foldText(const std::string& list) {
  TextInput in;
  textInputOpenMemory(&in, list.data(), list.size());
  XyzListShape shape;
  int64_t checkResult = validateXyzList(&in, &shape);
  std::string grid;
  if (checkResult <= 0) {
    grid = "<check " + std::to_string(checkResult) + ">";
  } else {
    TextOutput out;
    textOutputBegin(&out, drainToString, &grid);
    GridLoad load = foldXyzList(&in, shape, &out);
    textOutputEnd(&out);
    if (load.end == GridLoad::notGrid) grid = describeMismatch(load.mismatch);
    if (load.end == GridLoad::outOfMemory) grid = "<out of memory>";
  }
  textInputClose(&in);
  return grid;
}

// The viewer starts of a command-line run, in their order: the plotvane.exe beside the running
// program, by its bare name, from the list's folder.
inline std::string siblingStart(const std::string& grid) {
  return "shellStart sibling " + programFolder() + "plotvane.exe " + grid;
}
inline std::string searchedStart(const std::string& grid) { return "shellStart plotvane.exe " + grid; }
inline std::string folderStart(const std::string& viewerPath, const std::string& grid) {
  return "shellStart " + viewerPath + " " + grid;
}

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Where scratch folders go: memory-backed when there is such a place (some tests make 65535
// files), else the system's temporary folder.
inline std::filesystem::path scratchRoot() {
  std::error_code error;
#ifdef _WIN32
  const char* memoryBacked = "Z:\\dev\\shm";  // the host's, when running under Wine
#else
  const char* memoryBacked = "/dev/shm";
#endif
  if (std::filesystem::is_directory(memoryBacked, error)) return memoryBacked;
  return std::filesystem::temp_directory_path();
}

// A fresh scratch folder of this process (test programs run side by side); the caller removes it.
inline std::filesystem::path makeScratchFolder(const std::string& name) {
  static int serial = 0;
  std::filesystem::path folder = scratchRoot() / ("gridfold_test_" + std::to_string(systemProcessId()) + "_" + name +
                                                  "_" + std::to_string(++serial));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// Two folders of the test's own: data (the input's folder) and work (the current working
// directory, where TMPn.$$$ names reserve numbers); a fresh recording stand-in.
class ConverterFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    recordingReset();
    root = makeScratchFolder("run");
    data = root / "data";
    work = root / "work";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(work);
    previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(work);
  }
  void TearDown() override {
    std::filesystem::current_path(previousFolder);
    std::filesystem::remove_all(root);
  }
  std::string inData(const std::string& name) const { return (data / name).string(); }

  std::filesystem::path root, data, work, previousFolder;
};
