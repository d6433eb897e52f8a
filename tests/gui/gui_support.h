// What the GUI tests share: the build under test, a scratch folder per test, files as bytes,
// and the results expected of the programs: documents and grid files by the native Linux build's
// batch tool, pictures in this process by the preview and the reference rasterizer.
// Paths are Windows paths in UTF-8, of any length.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture/raster.h"
#include "viewer/preview.h"

// The build under test, from the environment CTest gives each test (tests/gui/CMakeLists.txt).
struct Build {
  std::string name;      // win64, or win32: the shipped programs of the release ZIP
  std::string programs;  // the folder of plotvane.exe, gridfold.exe and plotvane-cli.exe
  std::string probe;     // pv_fpu_probe.exe of the same build
  std::string source;    // the repository
};
const Build& build();
std::string program(const char* name);

// A fresh scratch folder per test, kept when the test failed or PV_KEEP=1. It goes after the
// derived fixture's programs, which may hold files in it.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  ~GuiTest() override;
  std::string at(const std::string& name) const { return dir + "\\" + name; }
  std::string dir;
};

std::string readFile(const std::string& path);  // "<unreadable>" when it does not open
void writeFile(const std::string& path, const std::string& bytes);
void copyFile(const std::string& from, const std::string& to);
void makeFolders(const std::string& path);
bool exists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> entries(const std::string& folder);
// folder/x.../y.../z..., a path of exactly `length` characters in all.
std::string deepFolder(const std::string& folder, size_t length);
// The characters of a path (UTF-16 code units, as Windows counts them).
size_t characters(const std::string& path);
std::string codePage932(const std::string& utf8);

// What plotvane's save and `plotvane-cli dxf --method METHOD` write for input, by the native tool.
std::string dxfOf(const std::string& input, const std::string& method);
// What gridfold and `plotvane-cli fold` write for an X,Y,Z list, by the native tool.
std::string foldOf(const std::string& list);

// A capture of the dialog's client area against the reference rasterizer's picture of input in
// the same preview area: the frame's outline, every end point of the polylines and every pixel
// inside the frame show the same colour in both, where both pictures have the pixel.
::testing::AssertionResult matchesReference(const Raster& live, const std::string& input, const PreviewArea& area,
                                            bool twoD = false);
// The same capture with nothing drawn in the preview area: not even the frame, only the dialog's
// background, as the paint of a table that may not be shown leaves it.
::testing::AssertionResult clearedPreview(const Raster& live, const PreviewArea& area);
// A screenshot as PNG in the scratch folder; with PV_UPDATE_DOCS=1 the win64 one also in docs/.
std::string screenshot(const Raster& picture, const std::string& dir, const std::string& name);
