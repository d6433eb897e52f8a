// Helpers the converter tests share: folding text in memory, and scratch folders.
#pragma once

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "common/text_input.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"

// The grid file the converter makes of an XYZ list, or "<check r>" when the check fails.
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
    if (foldXyzList(&in, shape, &out) != FoldResult::ok) grid = "<out of memory>";
    textOutputEnd(&out);
  }
  textInputClose(&in);
  return grid;
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

// A fresh scratch folder; the caller removes it. Named for this process too, as CTest runs the
// cases of one program in processes side by side.
inline std::filesystem::path makeScratchFolder(const std::string& name) {
  static int serial = 0;
  static const std::string process = std::to_string(std::random_device{}());
  std::filesystem::path folder =
      scratchRoot() / ("gridfold_test_" + name + "_" + process + "_" + std::to_string(++serial));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

inline std::string readFile(const std::filesystem::path& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  if (!file) return "<missing>";
  char block[4096];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  std::fclose(file);
  return bytes;
}
