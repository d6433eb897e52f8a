#include "tests/gui/gui_support.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/win32/wide_text.h"
#include "tests/gui/dialog_driver.h"
#include "tests/viewer/loaded_table.h"

namespace {

// A Unix path as Wine's Z: drive shows it.
std::string windowsPath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

// The Unix path of a path on Wine's Z: drive, where the tests keep every file.
std::string unixPath(std::string path) {
  EXPECT_TRUE(path.starts_with("Z:\\")) << path << " is not on the Z: drive";
  std::replace(path.begin(), path.end(), '\\', '/');
  return path.substr(2);
}

// The value of the option --name=VALUE on our command line (CTest passes the build under test).
std::string option(const char* name) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string prefix = std::string("--") + name + "=", value;
  for (int i = 1; i < count; ++i)
    if (std::string given = utf8Text(arguments[i]); given.starts_with(prefix)) value = given.substr(prefix.size());
  LocalFree(arguments);
  return value;
}

std::string gScratch;  // the test's
int gPictures;         // kept there after a mismatch

std::wstring longForm(const std::string& path) {
  WidePath wide;
  widePath(path.c_str(), &wide);
  return wide.text;
}

void removeAll(const std::string& path) {
  for (const std::string& name : entries(path)) {
    std::string inside = path + "\\" + name;
    if (GetFileAttributesW(longForm(inside).c_str()) & FILE_ATTRIBUTE_DIRECTORY) removeAll(inside);
    else DeleteFileW(longForm(inside).c_str());
  }
  RemoveDirectoryW(longForm(path).c_str());
}

}  // namespace

const Build& build() {
  static Build b{option("build"), windowsPath(option("programs")), windowsPath(option("probe")),
                 windowsPath(PV_SOURCE_DIR)};
  return b;
}

std::string program(const char* name) { return build().programs + "\\" + name; }

void GuiTest::SetUp() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  ASSERT_FALSE(build().name.empty() || build().programs.empty()) << "usage: pv_gui_tests --build=NAME --programs=DIR --probe=EXE";
  dir = gScratch = windowsPath(PV_GUI_SCRATCH) + "\\" + build().name + "\\" + test->test_suite_name() + "." + test->name();
  removeAll(dir);
  removeAll(dir + ".native");
  makeFolders(dir);
}

GuiTest::~GuiTest() {
  const char* keep = std::getenv("PV_KEEP");
  if (HasFailure() || (keep && std::string(keep) == "1")) {
    std::printf("scratch kept in %s\n", dir.c_str());
    return;
  }
  // Wine lets go of an ended program's files a moment after it ends.
  for (int attempt = 0; attempt < 20 && exists(dir); ++attempt, Sleep(50)) removeAll(dir);
  removeAll(dir + ".native");
}

std::string readFile(const std::string& path) {
  FILE* f = _wfopen(longForm(path).c_str(), L"rb");
  if (!f) return "<unreadable>";
  std::string bytes;
  char block[65536];
  for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;) bytes.append(block, n);
  std::fclose(f);
  return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* f = _wfopen(longForm(path).c_str(), L"wb");
  ASSERT_TRUE(f) << "cannot write " << path;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size()) << path;
  ASSERT_EQ(std::fclose(f), 0) << path;
}

void copyFile(const std::string& from, const std::string& to) {
  ASSERT_TRUE(CopyFileW(longForm(from).c_str(), longForm(to).c_str(), FALSE)) << from << " -> " << to;
}

void makeFolders(const std::string& path) {
  for (size_t cut = path.find('\\', 3);; cut = path.find('\\', cut + 1)) {
    CreateDirectoryW(longForm(path.substr(0, cut)).c_str(), nullptr);
    if (cut == std::string::npos) break;
  }
  ASSERT_TRUE(exists(path)) << "cannot make " << path;
}

bool exists(const std::string& path) { return GetFileAttributesW(longForm(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(longForm(folder + "\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
    if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..")
      names.push_back(utf8Text(found.cFileName));
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string deepFolder(const std::string& folder, size_t length) {
  size_t rest = length - characters(folder) - 3, part = rest / 3;
  return folder + "\\" + std::string(part, 'x') + "\\" + std::string(part, 'y') + "\\" + std::string(rest - 2 * part, 'z');
}

size_t characters(const std::string& path) { return wideText(path.c_str()).size(); }

std::string codePage932(const std::string& utf8) { return codePageText(utf8.c_str(), 932); }

// The native Linux build's batch tool (the fixture gui.native_tool builds it), which Wine starts
// as the Unix program it is: the expected files come from another compiler and C library than the
// programs under test. Wine gives no exit status of a Unix program; the tool writes under a
// temporary name and renames the output when complete, so its name appearing says it is done.
std::string nativeTool(const std::string& command, const std::string& input) {
  static int serial = 0;
  std::string folder = gScratch + ".native", output = folder + "\\" + std::to_string(++serial);
  makeFolders(folder);
  std::wstring line = wideText(("\"" + windowsPath(PV_NATIVE_CLI) + "\" " + command + " \"" + unixPath(input) + "\" \"" +
                                unixPath(output) + "\"").c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    ADD_FAILURE() << "the native plotvane-cli does not start (" << PV_NATIVE_CLI << "): error " << GetLastError();
    return "";
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  for (int wait = 0; wait < 600 && !exists(output); ++wait) Sleep(50);
  EXPECT_TRUE(exists(output)) << "the native plotvane-cli wrote nothing for " << command << " " << input;
  return readFile(output);
}

std::string dxfOf(const std::string& input, const std::string& method) { return nativeTool("dxf --method " + method, input); }

std::string foldOf(const std::string& list) { return nativeTool("fold", list); }

::testing::AssertionResult matchesReference(const Raster& live, const std::string& input, const PreviewArea& area,
                                            bool twoD) {
  Loaded t;  // the table as the viewer reads input
  if (readTableFile(input.c_str(), twoD ? Dimension::twoD : Dimension::threeD, &t.table, &t.extents).kind != IoResult::ok)
    return ::testing::AssertionFailure() << input << " does not read";
  Canvas canvas;
  (twoD ? drawPreview2D : drawPreview3D)(&canvas, area, t.table, t.extents);
  // The batch tool's picture for an area: the client area ending on the frame's right column,
  // with the estimated dialog's 21 rows below the panel (cli/preview_command.cpp).
  Raster reference;
  rasterInit(&reference, area.left + area.width + 1, area.height + 1 + 21, kDialogFace);
  rasterReplay(&reference, canvas.ops);

  CanvasOp frame{};
  std::vector<std::pair<int, int>> points, outline, inside;
  for (const CanvasOp& op : canvas.ops)
    if (op.kind == CanvasOp::frame) frame = op;
    else points.push_back({op.a, op.b});
  for (int x = frame.a; x < frame.c; ++x) outline.insert(outline.end(), {{x, frame.b}, {x, frame.d - 1}});
  for (int y = frame.b; y < frame.d; ++y) outline.insert(outline.end(), {{frame.a, y}, {frame.c - 1, y}});
  for (int y = frame.b; y < frame.d; ++y)
    for (int x = frame.a; x < frame.c; ++x) inside.push_back({x, y});
  std::string report, firstBad;
  int bad = 0;
  auto compare = [&](const char* what, const std::vector<std::pair<int, int>>& places) {
    int wrong = 0;
    for (auto [x, y] : places) {
      auto within = [&](const Raster& r) { return x >= 0 && y >= 0 && x < r.width && y < r.height; };
      if (!within(live) || !within(reference)) continue;
      RasterColor a = rasterPixel(live, x, y), b = rasterPixel(reference, x, y);
      if (a == b) continue;
      if (++bad <= 10)
        firstBad += "\n  (" + std::to_string(x) + ", " + std::to_string(y) + "): live " + std::to_string(a.r) + "," +
                    std::to_string(a.g) + "," + std::to_string(a.b) + ", reference " + std::to_string(b.r) + "," +
                    std::to_string(b.g) + "," + std::to_string(b.b);
      ++wrong;
    }
    report += std::string(what) + " " + std::to_string(places.size() - wrong) + "/" + std::to_string(places.size()) + " ";
  };
  compare("frame", outline);
  compare("end-points", points);
  compare("frame-area", inside);
  if (bad == 0) return ::testing::AssertionSuccess() << report;
  std::string kept = gScratch + "\\mismatch" + std::to_string(++gPictures);
  savePng(live, kept + "-live.png");
  savePng(reference, kept + "-reference.png");
  return ::testing::AssertionFailure() << input << ": " << report << firstBad << "\n  pictures: " << kept << "-*.png";
}

::testing::AssertionResult clearedPreview(const Raster& live, const PreviewArea& area) {
  COLORREF face = GetSysColor(COLOR_3DFACE);  // what the surface is filled with
  RasterColor background{GetRValue(face), GetGValue(face), GetBValue(face)};
  int drawn = 0, total = 0;
  for (int y = 0; y <= area.height && y < live.height; ++y)
    for (int x = area.left; x <= area.left + area.width && x < live.width; ++x, ++total)
      drawn += !(rasterPixel(live, x, y) == background);
  if (drawn == 0 && total > 0) return ::testing::AssertionSuccess();
  std::string kept = gScratch + "\\cleared" + std::to_string(++gPictures) + "-live.png";
  savePng(live, kept);
  return ::testing::AssertionFailure() << drawn << " of " << total << " pixels of the preview area drawn; picture: " << kept;
}

std::string screenshot(const Raster& picture, const std::string& dir, const std::string& name) {
  EXPECT_TRUE(savePng(picture, dir + "\\" + name + ".png")) << name;
  const char* update = std::getenv("PV_UPDATE_DOCS");
  if (update && std::string(update) == "1" && build().name == "win64") {
    EXPECT_TRUE(savePng(picture, build().source + "\\docs\\" + name + ".png")) << name;
  }
  return dir + "\\" + name + ".png";
}
