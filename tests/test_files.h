// Files the tests write and read back byte for byte, and the names in a folder.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// "<missing>" when the file does not open.
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

// Sorted; none when the folder does not open.
inline std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
