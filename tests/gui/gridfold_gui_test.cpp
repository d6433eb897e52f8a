// The real gridfold.exe under Wine: it writes TMPn.csv next to the X,Y,Z list and starts the real
// plotvane.exe on it, found in the list's folder, in the working directory or on the search path;
// a failed check; a viewer found nowhere; folders named in any script and a Western locale. The
// viewer and the message boxes are read from outside (tests/gui/dialog_driver.h). Every test runs
// for the win64 build and for the shipped programs of the release ZIP.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/gui/dialog_driver.h"
#include "tests/gui/gui_support.h"

namespace {

using Names = std::vector<std::string>;

const char kBadList[] = "1,2,3\r\n4,5,6\r\n7,8\r\n10,11,12\r\n";
const char kBadText[] = "3行目が３つのデータ（X,Y,Z）の構成になっていません。\n終了します。";

// A 5 x 4 grid with all Z values distinct, lines in reverse order: another picture, another grid.
std::string secondList() {
  std::string list;
  for (int j = 3; j >= 0; --j)
    for (int i = 4; i >= 0; --i) {
      char line[64];
      std::snprintf(line, sizeof line, "%d,%d,%.2f\r\n", i * 2, j * 3, 0.5 * i + 1.25 * j * j + 0.01 * i * j);
      list += line;
    }
  return list;
}

// A path as a shell passes it on: quoted when it holds a blank.
std::string argument(const std::string& path) {
  return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

class Gridfold : public GuiTest {
 protected:
  // gridfold.exe sits alone: Wine's search for a bare program name also looks in the starting
  // program's own folder, which would find a plotvane.exe placed next to it before any other.
  void SetUp() override {
    GuiTest::SetUp();
    makeFolders(at("app"));
    makeFolders(at("empty"));
    copyFile(program("gridfold.exe"), at("app\\gridfold.exe"));
    points = at("points.xyz");
    copyFile(build().source + "\\samples\\points.xyz", points);
    reference = foldOf(points);
  }
  // A folder holding plotvane.exe (unless told otherwise) and a copy of the sample list as
  // `list` (none when empty).
  std::string folder(const std::string& name, const std::string& list = "points.xyz", bool viewer = true) {
    makeFolders(at(name));
    if (!list.empty()) copyFile(points, at(name + "\\" + list));
    if (viewer) copyFile(program("plotvane.exe"), at(name + "\\plotvane.exe"));
    return at(name);
  }
  // gridfold.exe on list, as from a command prompt in the folder empty (or in dir).
  void run(const std::string& list, const std::string& dir = "", const std::string& searchFirst = "",
           const std::string& exe = "") {
    gridfold.start(exe.empty() ? at("app\\gridfold.exe") : exe, argument(list), at("gridfold.txt"),
                   dir.empty() ? at("empty") : dir, searchFirst);
  }
  // Works the viewer gridfold started until it quits: its path, status bar and exit status.
  void quitViewer(std::string* image, std::string* status = nullptr, int* exit = nullptr) {
    if (!viewer.viewer()) return;
    *image = viewer.image();
    if (status) *status = viewer.status();
    viewer.click(107);
    int code = viewer.exitCode();
    if (exit) *exit = code;
  }
  // Answers the one Error box gridfold shows, without an owner, read back as UTF-16 and as its
  // code page 932 bytes; no second box comes. Gridfold's exit status.
  int onlyErrorBox(const std::string& text, const char* what) {
    Message ansi = gridfold.ansiMessage(), box = gridfold.answer(IDOK);
    EXPECT_TRUE(box.caption == "Error" && box.text == oneLine(text) && box.owner == "none")
        << "one Error box, no owner, " << what << ": " << box.text;
    EXPECT_TRUE(ansi.caption == codePage932("Error") && ansi.text == codePage932(text)) << "in code page 932 bytes";
    EXPECT_TRUE(gridfold.noWindow(1000)) << "no second box";
    return gridfold.exitCode();
  }
  // gridfold on the list in folder: the viewer it starts opens on TMP1.csv there, which holds
  // grid, and shows that surface.
  void expectGridShown(const std::string& folder, const std::string& list, const std::string& grid, const char* what) {
    writeFile(at("shown.csv"), grid);
    run(folder + "\\" + list);
    gridfold.exitCode();
    ASSERT_TRUE(viewer.viewer());
    std::string status = viewer.status();
    PreviewArea area = viewer.area();
    Raster preview = viewer.capture();
    viewer.click(107);
    viewer.exitCode();
    EXPECT_EQ(readFile(folder + "\\TMP1.csv"), grid) << "TMP1.csv " << what;
    EXPECT_EQ(status, "未出力") << "the viewer opens on TMP1.csv";
    EXPECT_TRUE(matchesReference(preview, at("shown.csv"), area)) << "the viewer shows the surface";
  }
  std::string points, reference;
  App gridfold, viewer;
};

// The first run, from a command prompt, plotvane.exe in the list's folder. A blank and Japanese in
// the folder name: the grid file's path reaches the viewer unquoted, as its whole command-line tail.
TEST_F(Gridfold, first) {
  std::string data = folder("測点 データ");
  run(data + "\\points.xyz");
  ASSERT_TRUE(viewer.viewer());
  std::string image = viewer.image(), status = viewer.status();
  bool threeD = viewer.checked(110) == 1 && viewer.checked(113) == 1;
  PreviewArea area = viewer.area();
  Raster preview = viewer.capture();
  std::string shot = screenshot(viewer.captureWindow(), dir, "gridfold-plotvane");
  viewer.click(107);
  int viewerExit = viewer.exitCode();
  EXPECT_EQ(gridfold.exitCode(), 0);
  EXPECT_EQ(readFile(data + "\\TMP1.csv"), reference) << "TMP1.csv next to the input";
  EXPECT_TRUE(entries(data) == Names({"TMP1.csv", "plotvane.exe", "points.xyz"}) && entries(at("empty")).empty())
      << "nothing else written, neither in the list's folder nor in the working directory";
  EXPECT_EQ(image, data + "\\plotvane.exe") << "the viewer started from the list's folder";
  EXPECT_TRUE(threeD && status == "未出力") << "the viewer opens in 3D with Face, status " << status;
  EXPECT_TRUE(matchesReference(preview, data + "\\TMP1.csv", area)) << "the viewer shows TMP1.csv";
  EXPECT_GT(readFile(shot).size(), 1000u) << "screenshot of the viewer";
  EXPECT_TRUE(viewerExit == 0 && processCount(L"plotvane.exe") == 0) << "the viewer quits with 0, none is left";
}

// A second run in the first run's folder, another list: TMP2.csv.
TEST_F(Gridfold, second) {
  std::string data = folder("測点 データ");
  writeFile(data + "\\TMP1.csv", reference);  // what the first run left
  writeFile(data + "\\second.xyz", secondList());
  run(data + "\\second.xyz");
  ASSERT_TRUE(viewer.viewer());
  PreviewArea area = viewer.area();
  Raster preview = viewer.capture();
  viewer.click(107);
  viewer.exitCode();
  EXPECT_EQ(gridfold.exitCode(), 0);
  EXPECT_TRUE(readFile(data + "\\TMP2.csv") == foldOf(data + "\\second.xyz") && readFile(data + "\\TMP1.csv") == reference)
      << "TMP2.csv written, TMP1.csv untouched";
  EXPECT_EQ(entries(data), Names({"TMP1.csv", "TMP2.csv", "plotvane.exe", "points.xyz", "second.xyz"}));
  EXPECT_TRUE(matchesReference(preview, data + "\\TMP2.csv", area)) << "the viewer shows TMP2.csv";
}

// As Explorer starts gridfold.exe for a list dropped on its icon: the two programs side by side in
// their own folder (the release ZIP's layout), the working directory another one, holding a
// plotvane.exe of its own, and the list named with forward slashes. The plotvane.exe beside
// gridfold.exe starts; TMP1.csv lands beside the list; the viewer's save dialog opens in the list's
// folder, also after the user saved into another one.
TEST_F(Gridfold, beside) {
  std::string installed = folder("installed", ""), home = folder("home", ""), site = folder("site", "points.xyz", false);
  copyFile(program("gridfold.exe"), installed + "\\gridfold.exe");
  makeFolders(at("elsewhere"));
  std::string slashed = site + "\\points.xyz";
  for (char& c : slashed)
    if (c == '\\') c = '/';
  run(slashed, home, "", installed + "\\gridfold.exe");
  int gridfoldExit = gridfold.exitCode();
  ASSERT_TRUE(viewer.viewer());
  std::string image = viewer.image();
  viewer.click(106);
  std::string offered = viewer.saveFile("TMP1.dxf");  // the name offered, in the folder the dialog shows
  viewer.click(106);
  viewer.saveFile(at("elsewhere\\other.dxf"));
  viewer.click(106);
  viewer.saveFile("again.dxf");
  viewer.click(107);
  viewer.exitCode();
  EXPECT_EQ(gridfoldExit, 0);
  EXPECT_EQ(image, installed + "\\plotvane.exe") << "the plotvane.exe beside gridfold.exe, not the working directory's";
  EXPECT_EQ(readFile(site + "\\TMP1.csv"), reference) << "TMP1.csv beside the list named with forward slashes";
  EXPECT_TRUE(offered == "TMP1.dxf" && exists(site + "\\TMP1.dxf") && exists(site + "\\again.dxf") &&
              exists(at("elsewhere\\other.dxf")) && entries(home) == Names({"plotvane.exe"}))
      << "the save dialog opens in the list's folder: " << offered;
}

// The viewer in the working directory (the start by bare name). TMP1.$$$ there holds number 1
// back, even though the list's folder has no TMP1.csv.
TEST_F(Gridfold, by_cwd) {
  std::string list = folder("by-cwd", "points.xyz", false) + "\\points.xyz", cwd = folder("viewer-cwd", "");
  writeFile(cwd + "\\TMP1.$$$", "");
  run(list, cwd);
  int gridfoldExit = gridfold.exitCode(), viewerExit = -1;
  std::string image;
  quitViewer(&image, nullptr, &viewerExit);
  EXPECT_EQ(image, cwd + "\\plotvane.exe") << "the viewer found in the working directory";
  EXPECT_TRUE(gridfoldExit == 0 && viewerExit == 0) << "gridfold " << gridfoldExit << ", the viewer " << viewerExit;
  EXPECT_TRUE(entries(at("by-cwd")) == Names({"TMP2.csv", "points.xyz"}) &&
              entries(cwd) == Names({"TMP1.$$$", "plotvane.exe"}) && readFile(at("by-cwd\\TMP2.csv")) == reference)
      << "TMP1.$$$ in the working directory: the output is TMP2.csv";
}

// The viewer on the search path (the start by bare name).
TEST_F(Gridfold, by_path) {
  std::string list = folder("by-path", "points.xyz", false) + "\\points.xyz", path = folder("viewer-path", "");
  run(list, "", path);
  int gridfoldExit = gridfold.exitCode(), viewerExit = -1;
  std::string image;
  quitViewer(&image, nullptr, &viewerExit);
  EXPECT_EQ(image, path + "\\plotvane.exe") << "the viewer found on the search path";
  EXPECT_TRUE(gridfoldExit == 0 && viewerExit == 0) << "gridfold " << gridfoldExit << ", the viewer " << viewerExit;
  EXPECT_EQ(readFile(at("by-path\\TMP1.csv")), reference);
}

// 表 is 0x95 0x5C in code page 932: the folder part must end at the real separator.
TEST_F(Gridfold, kanji) {
  std::string kanji = folder("kanji", "表.xyz");
  run(kanji + "\\表.xyz");
  gridfold.exitCode();
  std::string image;
  quitViewer(&image);
  EXPECT_EQ(image, kanji + "\\plotvane.exe") << "the viewer started from the list's folder";
  EXPECT_TRUE(entries(kanji) == Names({"TMP1.csv", "plotvane.exe", "表.xyz"}) && readFile(kanji + "\\TMP1.csv") == reference)
      << "TMP1.csv in the list's folder";
}

// Zoë has a Zoe beside it, which a code page 932 reading of the path would name instead. The
// viewer sits in the list's folder, except for the long path: there the two programs sit side by
// side, as the release ZIP installs them (Wine cannot start a program by a short 8.3 path after a
// failed search by name, which the start from the list's folder of such a path takes).
TEST_F(Gridfold, unicode) {
  writeFile(folder("Zoe", "", false) + "\\points.xyz", secondList());
  std::string installed = folder("installed", "");
  copyFile(program("gridfold.exe"), installed + "\\gridfold.exe");
  std::string deep = deepFolder(at("long"), 327);
  for (std::string place : {at("Zoë"), at("한글 측량"), at("📐 測量"), deep}) {
    bool isDeep = place == deep;
    std::string shown = isDeep ? "a folder path of " + std::to_string(characters(deep)) + " characters" : place;
    makeFolders(place);
    copyFile(points, place + "\\points.xyz");
    if (!isDeep) copyFile(program("plotvane.exe"), place + "\\plotvane.exe");
    run(place + "\\points.xyz", "", "", isDeep ? installed + "\\gridfold.exe" : "");
    std::string image, status;
    quitViewer(&image, &status);
    EXPECT_EQ(gridfold.exitCode(), 0) << shown;
    EXPECT_EQ(readFile(place + "\\TMP1.csv"), reference) << shown << ": TMP1.csv in the list's own folder";
    EXPECT_TRUE(image == (isDeep ? installed : place) + "\\plotvane.exe" && status == "未出力")
        << shown << ": plotvane.exe started on it: " << image << ", " << status;
  }
  EXPECT_EQ(entries(at("Zoe")), Names({"points.xyz"})) << "Zoe beside Zoë untouched";
}

// A list that begins with a line of column names.
TEST_F(Gridfold, header) {
  std::string header = folder("header", "");
  writeFile(header + "\\points.xyz", "X,Y,Z\r\n" + readFile(points));
  expectGridShown(header, "points.xyz", reference, "as for the list without it");
}

// What other programs export (tests/data/exports/): numpy's default, every value "%.18e", folds
// as the same points in "%.3f" do; survey shots are no grid: the one box names the row, and
// nothing is written or started.
TEST_F(Gridfold, exports) {
  std::string data = folder("exports", ""), exports = build().source + "\\tests\\data\\exports\\";
  copyFile(exports + "numpy-grid.xyz", data + "\\numpy-grid.xyz");
  copyFile(exports + "pandas-shots.csv", data + "\\shots.csv");
  expectGridShown(data, "numpy-grid.xyz", foldOf(exports + "numpy-grid.ref.xyz"), "as for the list in %.3f");

  run(data + "\\shots.csv");
  int exit = onlyErrorBox("Y=5412311.255000 の行の X=500175.696000 が、最初の行の X=500170.180000 と違います。\n"
                          "格子状のデータではありません。",
                          "naming the first row that differs");
  EXPECT_EQ(exit, 1);
  EXPECT_TRUE(entries(data) == Names({"TMP1.csv", "numpy-grid.xyz", "plotvane.exe", "shots.csv"}) &&
              processCount(L"plotvane.exe") == 0)
      << "no TMP2.csv, no viewer";
}

// A Western Windows, code page 1252: the folder part ends at the backslash after José, for
// gridfold's TMP1.csv and for the name plotvane proposes; the messages read as in Japan.
TEST_F(Gridfold, western) {
  EXPECT_EQ(GetACP(), 1252u);
  std::string western = folder("José", "pts.xyz");
  writeFile(western + "\\bad.xyz", kBadList);
  run(western + "\\pts.xyz");
  gridfold.exitCode();
  ASSERT_TRUE(viewer.viewer());
  std::string image = viewer.image(), status = viewer.status();
  viewer.click(106);
  std::string offered = viewer.cancelFile();
  viewer.click(107);
  viewer.exitCode();
  App bad;
  bad.start(at("app\\gridfold.exe"), western + "\\bad.xyz", at("bad.txt"), at("empty"));
  Message box = bad.answer(IDOK);
  bad.exitCode();
  EXPECT_EQ(image, western + "\\plotvane.exe") << "the viewer started from José's folder";
  EXPECT_TRUE(entries(western) == Names({"TMP1.csv", "bad.xyz", "plotvane.exe", "pts.xyz"}) &&
              readFile(western + "\\TMP1.csv") == reference)
      << "TMP1.csv in José's folder";
  EXPECT_TRUE(offered.ends_with(" initial=TMP1.dxf") && status == "未出力") << offered << "; " << status;
  EXPECT_TRUE(box.caption == "Error" && box.text == oneLine(kBadText) && box.owner == "none") << "gridfold's message";
}

// A list whose line 3 holds one comma.
TEST_F(Gridfold, bad) {
  std::string bad = folder("bad", "");
  writeFile(bad + "\\bad.xyz", kBadList);
  run(bad + "\\bad.xyz");
  int exit = onlyErrorBox(kBadText, "with the line number");
  EXPECT_EQ(exit, 1);
  EXPECT_TRUE(entries(bad) == Names({"bad.xyz", "plotvane.exe"}) && entries(at("empty")).empty() &&
              processCount(L"plotvane.exe") == 0)
      << "no TMP file, no viewer";
}

// No plotvane.exe anywhere.
TEST_F(Gridfold, alone) {
  std::string alone = folder("単独", "points.xyz", false);
  run(alone + "\\points.xyz");
  std::string text = "plotvane.exe が見つかりませんでした\n(" + alone + "\\plotvane.exe)";
  int exit = onlyErrorBox(text, "naming plotvane.exe in the list's folder");
  EXPECT_TRUE(exit == 0 && readFile(alone + "\\TMP1.csv") == reference) << "exit status 0, TMP1.csv";
}

}  // namespace
