// The real plotvane.exe under Wine, worked from outside as a user would: its dialog template,
// the start-up load, loads and saves through the real common dialogs with previews against the
// reference rasterizer and saves byte for byte what the native batch tool writes, the large-data
// question, failed loads and saves, memory exhaustion, dense grids, 144 DPI, folders named in any
// script and paths past 260 characters, a Western locale, the batch tool, the screenshots of
// docs/. Every test runs for the win64 build and for the shipped programs of the release ZIP.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/win32/wide_text.h"
#include "tests/gui/dialog_driver.h"
#include "tests/gui/gui_support.h"
#include "tests/precision_profile.h"

namespace {

using Names = std::vector<std::string>;

const char kGrid[] = "XYZ,1,2,3\r\n1,0,0,0\r\n2,0,3,0\r\n";
// A 3 x 4 grid with all Z values distinct, for the DXF methods.
const char kSurface[] = "XYZ,0,1.5,3\r\n0,0.1,0.2,0.3\r\n1,1.1,1.25,1.3\r\n2,2.1,2.2,2.35\r\n3,3.1,3.2,3.3\r\n";
const char kProfile[] = "0,1,2.5,4,7\r\n0,3,1,2.5,-1\r\n";
const char kSaved[] = "the drawing saved last week\r\n";
// The caption (0) and the controls' texts at the start, whatever the system's code page.
const std::pair<int, const char*> kTexts[] = {
    {0, "plotvane"}, {101, "Ver.0.10.2"}, {102, "Dimension"}, {103, "Method"}, {104, "ＣＳＶ読込"}, {105, ""},
    {106, "ＤＸＦ保存"}, {107, "アプリ終了"}, {109, "2D"}, {110, "3D"}, {111, "Line"}, {112, "Mesh"}, {113, "Face"}};
const Message kQuestion{"Note", "データ量が多いため保存に時間がかかります。\\n続行しますか？", "dialog"};

template <typename... Values>
std::string format(const char* pattern, Values... values) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

// A grid file with X values x0..x1 and rows y0..y1, each cell cell(x, y), in LF lines.
std::string gridText(int x0, int x1, int y0, int y1, const std::function<std::string(int, int)>& cell) {
  std::string text = "XYZ";
  for (int x = x0; x <= x1; ++x) text += "," + std::to_string(x);
  for (int y = y0; y <= y1; ++y) {
    text += "\n" + std::to_string(y);
    for (int x = x0; x <= x1; ++x) text += "," + cell(x, y);
  }
  return text + "\n";
}

// 100 header fields: 99 data lines give 100 x 101 = 10100 cells, 98 give 100 x 100 = 10000.
std::string cells(int lines) {
  return gridText(1, 99, 1, lines, [](int x, int y) { return std::to_string(x * y % 17); });
}
// A bump on a 16 x 12 grid, for the screenshots.
std::string bump() {
  return gridText(0, 15, 0, 11, [](int i, int j) {
    return format("%.3f", 4 * std::exp(-((i - 7.5) * (i - 7.5) + (j - 5.5) * (j - 5.5)) / 12));
  });
}
// Most lines of a dense grid are shorter than a pixel, which the canvas leaves out.
std::string dense(int side) {
  return gridText(0, side - 1, 0, side - 1, [](int i, int j) {
    return format("%.3f", 40 * std::sin(i / 37.0) * std::cos(j / 23.0) + (i * j % 7) / 10.0);
  });
}

// A table of columns x rows doubles from a file of commas and line ends only.
std::string hugeTable(size_t columns, size_t rows) {
  return "XYZ" + std::string(columns, ',') + "\n" + std::string(rows, '\n');
}

// The screen's DPI for programs started from now on (96 is 100 %), back to 96 when it goes.
struct ScreenDpi {
  explicit ScreenDpi(DWORD dpi) { set(dpi); }
  ~ScreenDpi() { set(96); }
  static void set(DWORD dpi) {
    EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi),
              ERROR_SUCCESS);
  }
};

class Viewer : public GuiTest {
 protected:
  // plotvane.exe on the command-line tail, its error stream into errors.txt.
  bool start(const std::string& tail = "") {
    app.start(program("plotvane.exe"), tail, at("errors.txt"));
    return app.dialog();
  }
  bool quit() {
    app.click(107);
    return app.exitCode() == 0;
  }
  // The error stream as text: code page 932 without CRs and the last line end.
  std::string errors() {
    std::string bytes = readFile(at("errors.txt")), text;
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), bytes.size()));
    for (char c : utf8Text(wide.c_str(), wide.size()))
      if (c != '\r') text += c;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  std::string input(const std::string& name, const std::string& text) {
    writeFile(at(name), text);
    return at(name);
  }
  // The batch tool of the build under test; its error stream in cli.txt.
  int cli(const std::string& arguments) {
    App tool;
    tool.start(program("plotvane-cli.exe"), arguments, "", "", "", at("cli.txt"));
    return tool.exitCode();
  }
  void memoryExhaustion(const std::string& input);
  App app;
};

std::string inQuotes(const std::string& path) { return "\"" + path + "\""; }

// Dialog 200 as built into plotvane.exe, listed the way windres lists a template, against the
// listing of the template as designed: texts, styles, positions, font, language.
TEST_F(Viewer, template) {
  HMODULE exe = LoadLibraryExW(wideText(program("plotvane.exe").c_str()).c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(exe) << "error " << GetLastError();
  WORD language = 0;
  EnumResourceLanguagesW(exe, RT_DIALOG, MAKEINTRESOURCEW(200),
                         [](HMODULE, LPCWSTR, LPCWSTR, WORD found, LONG_PTR into) -> BOOL {
                           return *reinterpret_cast<WORD*>(into) = found, FALSE;
                         },
                         reinterpret_cast<LONG_PTR>(&language));
  HRSRC found = FindResourceExW(exe, RT_DIALOG, MAKEINTRESOURCEW(200), language);
  ASSERT_TRUE(found) << "no dialog 200";
  const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(exe, found)));
  auto dword = [&] { return p += 2, p[-2] | static_cast<DWORD>(p[-1]) << 16; };
  auto box = [&] { return p += 4, format("%d, %d, %d, %d", short(p[-4]), short(p[-3]), short(p[-2]), short(p[-1])); };
  auto text = [&] {  // a string, or an ordinal: the class it names
    if (*p == 0xFFFF) return p += 2, p[-1] == 0x80 ? std::string("BUTTON") : p[-1] == 0x82 ? "STATIC" : format("%d", p[-1]);
    const WORD* begin = p;
    while (*p++) {}
    return utf8Text(reinterpret_cast<const wchar_t*>(begin), p - begin - 1);
  };
  DWORD style = dword(), exStyle = dword();
  int items = *p++;
  std::string listing = format("LANGUAGE %d, %d\n", language & 0x3FF, language >> 10) + "200 DIALOG " + box() +
                        format("\nSTYLE 0x%lx\nEXSTYLE 0x%lx\n", style, exStyle);
  for (const char* statement : {"MENU ", "CLASS "})
    if (std::string name = text(); !name.empty()) listing += statement + name + "\n";
  listing += "CAPTION \"" + text() + "\"\n";
  if (style & DS_SETFONT) {
    int points = *p++;
    listing += format("FONT %d, \"", points) + text() + "\"\n";
  }
  listing += "BEGIN\n";
  while (items--) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
    DWORD itemStyle = dword(), itemExStyle = dword();
    std::string place = box();
    int id = *p++;
    std::string itemClass = text(), title = text();
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p + 1) + *p);  // past the creation data
    listing += format("  CONTROL \"%s\", %d, \"%s\", 0x%lx, ", title.c_str(), id, itemClass.c_str(), itemStyle) + place +
               (itemExStyle ? format(", 0x%lx", itemExStyle) : "") + "\n";
  }
  FreeLibrary(exe);
  std::string expected;
  for (char c : readFile(build().source + "\\tests\\gui\\expected_dialog.rc"))
    if (c != '\r') expected += c;
  EXPECT_EQ(listing + "END\n", expected);
}

TEST_F(Viewer, fpu) {
  App probe;
  probe.start(build().probe, "", at("fpu.txt"));
  EXPECT_EQ(probe.exitCode(), 0);
  std::printf("runtime start-up leaves: %s", readFile(at("fpu.txt")).c_str());
  EXPECT_NE(readFile(at("fpu.txt")).find("extended=yes"), std::string::npos) << "a 64-bit mantissa for long double";
}

TEST_F(Viewer, start) {
  std::string grid = input("grid.csv", kGrid);
  ASSERT_TRUE(start(grid)) << "start with a grid file";
  PreviewArea area = app.area();
  std::printf("live preview area: %d,%d,%d\n", area.left, area.width, area.height);
  EXPECT_EQ(GetACP(), 932u);
  for (auto [id, text] : kTexts) EXPECT_EQ(app.text(id), text) << "caption, version and button texts: " << id;
  for (auto [id, state] : {std::pair{109, 0}, {110, 1}, {111, 0}, {112, 0}, {113, 1}})
    EXPECT_EQ(app.checked(id), state) << "3D and Face checked at start: " << id;
  EXPECT_EQ(app.status(), "未出力") << "after the start-up load";
  // Control styles as the template gives them (the dialog manager adds WS_CLIPSIBLINGS to the
  // Method group and may turn default push buttons into plain ones: both are masked). No tab
  // stops, except on the checked radio buttons, which get one from the button class.
  struct Style {
    std::vector<int> ids;
    const char* className;
    DWORD bits, mask;
  } styles[] = {{{100, 105}, "Static", 0x50000001, 0x5000001F},     {{101}, "Static", 0x50000002, 0x5000001F},
                {{104, 106, 107}, "Button", 0x50000000, 0x5000000E}, {{102, 103}, "Button", 0x50020307, 0x50020F0F},
                {{109, 110, 111, 112, 113}, "Button", 0x50000009, 0x50020F0F},
                {{108}, "msctls_statusbar32", 0x50000003, 0x50000003}};
  for (const Style& s : styles)
    for (int id : s.ids) {
      EXPECT_EQ(_stricmp(app.className(id).c_str(), s.className), 0) << id << ": " << app.className(id);
      EXPECT_EQ(app.style(id) & s.mask, s.bits) << id;
      EXPECT_TRUE(!(app.style(id) & WS_TABSTOP) || id == 110 || id == 113) << id << ": tab stop";
    }
  EXPECT_EQ(app.style(0) & 0x80C000C0, 0x80C000C0u) << "popup, caption, modal frame, set-font";
  EXPECT_TRUE(GetWindowLongW(app.window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(matchesReference(app.capture(), grid, area)) << "start-up preview";
  app.invalidate();
  EXPECT_TRUE(matchesReference(app.capture(), grid, area)) << "repaint (invalidated) shows the newest drawing";
  app.cover();
  EXPECT_TRUE(matchesReference(app.capture(), grid, area)) << "repaint (covered) shows the newest drawing";
  app.minimizeRestore();
  EXPECT_TRUE(matchesReference(app.capture(), grid, area)) << "repaint (restored) shows the newest drawing";
  EXPECT_TRUE(quit()) << "quit ends with status 0";
  EXPECT_EQ(readFile(at("errors.txt")), "");
}

TEST_F(Viewer, bare) {
  ASSERT_TRUE(start());
  EXPECT_TRUE(app.status().empty() && !GetDlgItem(app.window, 199)) << "empty status, no preview surface";
  app.clickSync(106);
  EXPECT_TRUE(app.noWindow(800)) << "save does nothing";
  PostMessageW(app.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(app.exitCode(), 0) << "close request";
}

TEST_F(Viewer, missing) {
  ASSERT_TRUE(start(at("missing.csv")));
  std::string status = app.status();
  bool drawn = GetDlgItem(app.window, 199);
  app.clickSync(106);
  const std::string failed = "読込エラー: " + systemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(app.noWindow(800) && status == failed && !drawn) << "status " << status << ", nothing drawn, save does nothing";
  quit();
  EXPECT_EQ(errors(), failed) << "the error stream says the same";
}

TEST_F(Viewer, quoted) {
  std::string grid = input("my grid.csv", kGrid);
  ASSERT_TRUE(start(inQuotes(grid)));
  EXPECT_TRUE(matchesReference(app.capture(), grid, app.area())) << "the quotation marks go, the file loads";
  quit();
  EXPECT_EQ(readFile(at("errors.txt")), "");
}

// Loads and saves through the real common dialogs.
TEST_F(Viewer, dialogs) {
  std::string surface = input("surface.csv", kSurface), profile = input("profile.csv", kProfile);
  ASSERT_TRUE(start(input("grid.csv", kGrid)));
  PreviewArea area = app.area();
  app.click(104);
  std::string offeredForOpen = app.openFile(surface);
  EXPECT_TRUE(app.text(105) == "surface.csv" && app.status() == "未出力") << "105 names the file";
  EXPECT_TRUE(matchesReference(app.capture(), surface, area)) << "loaded 3D preview";
  app.invalidate();
  EXPECT_TRUE(matchesReference(app.capture(), surface, area)) << "a repaint after a load: the newest drawing";
  app.click(106);
  std::string offeredForSave = app.saveFile(at("surface-face.dxf"));
  EXPECT_TRUE(offeredForOpen.empty() && offeredForSave == "surface.dxf") << offeredForOpen << "; " << offeredForSave;
  EXPECT_EQ(app.status(), "保存完了");
  for (auto [button, method] : {std::pair{112, "mesh"}, {111, "line"}}) {
    app.clickSync(button);
    app.click(106);
    app.saveFile(at("surface-" + std::string(method) + ".dxf"));
  }
  for (const char* method : {"face", "mesh", "line"})
    EXPECT_EQ(readFile(at("surface-" + std::string(method) + ".dxf")), dxfOf(surface, method)) << method;
  app.click(106);
  app.cancelFile();
  app.clickSync(109);
  EXPECT_FALSE(app.visible(103) || app.visible(111) || app.visible(112) || app.visible(113)) << "2D hides Method";
  EXPECT_TRUE(clearedPreview(app.capture(), area)) << "nothing of the surface, which can no longer be saved, stays";
  app.clickSync(106);
  EXPECT_TRUE(app.noWindow(800)) << "saving a stale table does nothing";
  app.click(104);
  app.openFile(profile);
  EXPECT_TRUE(matchesReference(app.capture(), profile, area, true)) << "loaded 2D preview";
  app.click(106);
  app.saveFile(at("profile-2d.dxf"));
  app.clickSync(110);
  EXPECT_TRUE(app.visible(103) && app.visible(111) && app.visible(112) && app.visible(113)) << "3D shows Method";
  app.clickSync(106);
  EXPECT_TRUE(app.noWindow(800)) << "saving a stale table does nothing";
  quit();
  EXPECT_EQ(readFile(at("profile-2d.dxf")), dxfOf(profile, "2d"));
  EXPECT_FALSE(exists(at("surface.dxf"))) << "the cancelled save dialog wrote nothing";
}

// The table loaded before must not be saved under the new name.
TEST_F(Viewer, failed_load) {
  ASSERT_TRUE(start(input("grid.csv", kGrid)));
  PreviewArea area = app.area();
  app.click(104);
  app.openFile(at("gone.csv"));
  const std::string failed = "読込エラー: " + systemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(app.text(105) == "gone.csv" && app.status() == failed) << app.text(105) << "; " << app.status();
  EXPECT_TRUE(clearedPreview(app.capture(), area)) << "the grid loaded before is no longer shown";
  app.clickSync(106);
  EXPECT_TRUE(app.noWindow(800) && !exists(at("gone.dxf"))) << "the save does nothing";
  quit();
  EXPECT_EQ(errors(), failed);
}

// Wine's common dialogs take no path past 260 characters at all: the long folder is loaded from
// the command line here, and saved into by the batch tool (test cli). A save target of 250
// characters has a temporary file's name past 260.
TEST_F(Viewer, unicode) {
  std::string nearTarget = at("near\\") + std::string(250 - characters(at("near\\\\near.dxf")), 'n') + "\\near.dxf";
  std::string deep = deepFolder(at("long"), 327), surface = input("surface.csv", kSurface);
  for (const char* folder : {"Zoë", "Zoe", "한글 측량", "📐 測量"}) makeFolders(at(folder));
  makeFolders(nearTarget.substr(0, nearTarget.rfind('\\')));
  makeFolders(deep);
  copyFile(surface, at("Zoë\\surface.csv"));
  writeFile(at("Zoe\\surface.csv"), kGrid);  // what a code page 932 reading of Zoë would open
  copyFile(surface, deep + "\\surface.csv");
  ASSERT_TRUE(start());
  app.click(104);
  app.openFile(at("Zoë\\surface.csv"));
  EXPECT_TRUE(app.text(105) == "surface.csv" && app.status() == "未出力") << "Zoë's surface.csv loads";
  EXPECT_TRUE(matchesReference(app.capture(), surface, app.area())) << "Zoë's, not Zoe's";
  int saved = 0;
  for (std::string target : {at("한글 측량\\面.dxf"), at("📐 測量\\surface.dxf"), nearTarget}) {
    app.click(106);
    app.saveFile(target);
    saved += app.status() == "保存完了";
  }
  quit();
  EXPECT_TRUE(saved == 3 && readFile(at("한글 측량\\面.dxf")) == dxfOf(surface, "face") &&
              readFile(at("📐 測量\\surface.dxf")) == dxfOf(surface, "face"))
      << "saves into 한글 측량 and 📐 測量";
  EXPECT_TRUE(saved == 3 && readFile(nearTarget) == dxfOf(surface, "face")) << "a target of " << characters(nearTarget);
  EXPECT_EQ(readFile(at("errors.txt")), "");
  ASSERT_TRUE(start(deep + "\\surface.csv"));
  EXPECT_EQ(app.status(), "未出力") << "start-up load from a folder path of " << characters(deep) << " characters";
  EXPECT_TRUE(matchesReference(app.capture(), surface, app.area())) << "from the long folder";
  quit();
}

// Every text the dialog shows reads as in Japan: buttons, labels, the status after a load and a
// save, the large-data question.
TEST_F(Viewer, western) {
  ASSERT_TRUE(start(input("bump.csv", bump())));
  EXPECT_EQ(GetACP(), 1252u);
  for (auto [id, text] : kTexts) {
    if (id == 105) continue;  // it names the file loaded
    EXPECT_EQ(app.text(id), text) << id;
  }
  EXPECT_EQ(app.status(), "未出力");
  std::string shot = screenshot(app.captureWindow(), dir, "plotvane-western");
  app.click(104);
  app.openFile(input("cells99.csv", cells(99)));
  app.click(106);
  EXPECT_EQ(app.answer(IDOK), kQuestion);
  app.saveFile(at("western.dxf"));
  EXPECT_EQ(app.status(), "保存完了");
  quit();
  EXPECT_GT(readFile(shot).size(), 1000u) << "screenshot";
}

TEST_F(Viewer, large) {
  ASSERT_TRUE(start());
  app.click(104);
  app.openFile(input("cells98.csv", cells(98)));
  app.click(106);
  app.saveFile(at("cells98.dxf"));
  EXPECT_GT(readFile(at("cells98.dxf")).size(), 0u) << "no question at 100 x 100 = 10000 cells";
  app.click(104);
  app.openFile(input("cells99.csv", cells(99)));
  app.click(106);
  EXPECT_EQ(app.answer(IDCANCEL), kQuestion) << "above 10000 cells, with OK and Cancel";
  bool silent = app.noWindow(800);
  app.click(106);
  EXPECT_EQ(app.answer(IDOK), kQuestion);
  app.saveFile(at("cells99.dxf"));
  EXPECT_TRUE(silent && app.status() == "保存完了") << "Cancel ends the save silently; OK goes on to the save dialog";
  quit();
  EXPECT_EQ(readFile(at("cells99.dxf")), dxfOf(at("cells99.csv"), "face"));
}

// The question alone, without a file dialog (qemu's emulation breaks 32-bit common dialogs).
TEST_F(Viewer, question) {
  ASSERT_TRUE(start(input("cells99.csv", cells(99))));
  app.click(106);
  Message asked = app.answer(IDCANCEL);
  bool silent = app.noWindow(800);
  EXPECT_TRUE(asked == kQuestion && silent && quit()) << asked << "; Cancel ends the save silently";
}

// The batch tool of the build against the DXF writer and the converter.
TEST_F(Viewer, cli) {
  std::string surface = input("surface.csv", kSurface), profile = input("profile.csv", kProfile);
  writeFile(at("cli-face.dxf"), kSaved);  // replaced, as a save over an old drawing
  for (const char* method : {"face", "mesh", "line", "2d"}) {
    std::string source = method == std::string("2d") ? profile : surface, target = at("cli-" + std::string(method) + ".dxf");
    cli("dxf --method " + std::string(method) + " " + source + " " + target);
    EXPECT_EQ(readFile(target), dxfOf(source, method)) << "plotvane-cli.exe dxf --method " << method;
  }
  for (const std::string& name : entries(dir))
    EXPECT_FALSE(name.ends_with(".tmp") || name.ends_with(".old")) << name << " left behind";
  std::string points = build().source + "\\samples\\points.xyz";
  cli("fold " + points + " " + at("cli-fold.csv"));
  EXPECT_EQ(readFile(at("cli-fold.csv")), foldOf(points)) << "plotvane-cli.exe fold";
  // Paths in any script and past 260 characters, as arguments and in its messages.
  std::string deep = deepFolder(at("cli-long"), 327);
  makeFolders(deep);
  makeFolders(at("cli-Zoë"));
  makeFolders(at("cli-📐 한글"));
  copyFile(surface, at("cli-Zoë\\surface.csv"));
  copyFile(points, at("cli-📐 한글\\points.xyz"));
  cli("dxf --method face " + at("cli-Zoë\\surface.csv") + " " + deep + "\\surface.dxf");
  cli("fold " + inQuotes(at("cli-📐 한글\\points.xyz")) + " " + deep + "\\grid.csv");
  EXPECT_TRUE(readFile(deep + "\\surface.dxf") == dxfOf(surface, "face") && readFile(deep + "\\grid.csv") == foldOf(points))
      << "from Zoë and 📐 한글 into a folder path of " << characters(deep) << " characters";
  std::string missing = at("cli-📐 한글\\missing.csv");
  EXPECT_EQ(cli("dxf " + inQuotes(missing)), 1);
  EXPECT_NE(readFile(at("cli.txt")).find("cannot read " + missing + ": "), std::string::npos) << readFile(at("cli.txt"));
}

// A folder where no file can be created, root or not. (A read-only target is no test under Wine:
// its MoveFileEx replaces read-only files, which Windows refuses.)
TEST_F(Viewer, blocked) {
  ASSERT_TRUE(start(input("surface.csv", kSurface)));
  app.click(106);
  app.saveFile("Z:\\proc\\self\\blocked.dxf");
  std::string status = app.status();
  quit();
  EXPECT_TRUE(status.starts_with("書込みエラー: ") && status.size() > std::string("書込みエラー: ").size() && errors() == status)
      << "error stream: " << errors() << "; status " << status;
}

// A save onto a file that another program holds open (a CAD program has the drawing loaded): the
// status bar says why in the system's words, and the file keeps its bytes.
TEST_F(Viewer, held) {
  writeFile(at("held.dxf"), kSaved);
  HANDLE held = CreateFileW(wideText(at("held.dxf").c_str()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(start(input("surface.csv", kSurface)));
  app.click(106);
  app.saveFile(at("held.dxf"));
  std::string status = app.status();
  quit();
  CloseHandle(held);
  bool heldReason = false;
  for (DWORD code : {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION, ERROR_UNABLE_TO_REMOVE_REPLACED})
    heldReason |= status == "書込みエラー: " + systemErrorText(static_cast<int>(code));
  EXPECT_TRUE(heldReason && errors() == status) << "status " << status << "; error stream " << errors();
  EXPECT_EQ(readFile(at("held.dxf")), kSaved) << "the file held open keeps its bytes";
  EXPECT_EQ(entries(dir), Names({"errors.txt", "held.dxf", "surface.csv"})) << "nothing left beside it";
}

// Run under a file-size limit of 256 KB (tests/gui/CMakeLists.txt), which stands in for a full
// disk: every write past it fails.
TEST_F(Viewer, full) {
  writeFile(at("full.dxf"), kSaved);
  ASSERT_TRUE(start(input("wide.csv", gridText(1, 60, 1, 60, [](int i, int j) { return format("%.6g", i * j + 0.125); }))));
  app.click(106);
  app.saveFile(at("full.dxf"));
  std::string status = app.status();
  quit();
  bool temporary = false;
  for (const std::string& name : entries(dir)) temporary |= name.starts_with("full.dxf.") && name.ends_with("tmp");
  EXPECT_TRUE(status.starts_with("書込みエラー: ") && status.size() > std::string("書込みエラー: ").size() &&
              readFile(at("full.dxf")) == kSaved && !temporary)
      << "status " << status << ", the file that was there intact, no temporary left";
  EXPECT_EQ(errors(), status) << "the error stream says the same";
}

void Viewer::memoryExhaustion(const std::string& input) {
  app.start(program("plotvane.exe"), input, at("errors.txt"));
  Message box = app.answer(IDOK);
  EXPECT_TRUE(box.caption == "Error" && box.text == "メモリ確保に失敗しました") << box;
  EXPECT_EQ(app.exitCode(), 1);
}

// A table of 5,000,001 x 5,000,002 doubles fits no address space.
TEST_F(Viewer, huge) { memoryExhaustion(input("huge.csv", hugeTable(5000000, 5000000))); }

// 30,001 x 20,003 doubles: 4.8 GB from a 50 KB file, more than a 32-bit process can address even
// large-address-aware on 64-bit Windows (4 GB). The real allocation fails, no injection.
TEST_F(Viewer, huge32) {
  std::string huge = input("huge32.csv", hugeTable(30000, 20000));
  memoryExhaustion(huge);
  int status = cli("dxf " + huge + " " + at("huge32.dxf"));
  std::string said = readFile(at("cli.txt"));
  std::printf("plotvane-cli.exe: %s", said.c_str());
  EXPECT_TRUE(status == 1 && said.find('\n') == said.size() - 1 && said.find("cannot read") != std::string::npos &&
              !exists(at("huge32.dxf")))
      << "one line on stderr, exit status 1, no output file";
}

TEST_F(Viewer, precise) {
  ASSERT_TRUE(start());
  PreviewArea area = app.area();
  std::string profile = input("precise.csv", precisionProfile(area.width));
  app.clickSync(109);
  app.click(104);
  app.openFile(profile);
  EXPECT_TRUE(matchesReference(app.capture(), profile, area, true))
      << "points that differ between 53- and 64-bit rounding land where the reference puts them";
  quit();
}

TEST_F(Viewer, dense) {
  std::string big = input("dense1000.csv", dense(1000)), small = input("dense300.csv", dense(300));
  ASSERT_TRUE(start(big));
  PreviewArea area = app.area();
  EXPECT_TRUE(matchesReference(app.capture(), big, area)) << "1000 x 1000 at start";
  app.click(104);
  app.openFile(small);
  EXPECT_TRUE(matchesReference(app.capture(), small, area)) << "300 x 300 loaded";
  app.invalidate();
  EXPECT_TRUE(matchesReference(app.capture(), small, area)) << "300 x 300 repainted";
  quit();
}

// At 144 DPI the dialog, aware of the system DPI, is laid out larger, and its preview, drawn
// pixel for pixel, still equals the reference rasterizer's for the live area.
TEST_F(Viewer, dpi) {
  std::string surface = input("surface.csv", kSurface);
  ScreenDpi dpi(144);
  ASSERT_TRUE(start(surface));
  PreviewArea area = app.area();
  std::printf("preview area at 144 DPI: %d,%d,%d\n", area.left, area.width, area.height);
  EXPECT_GT(area.width, 300) << "laid out larger";
  EXPECT_TRUE(matchesReference(app.capture(), surface, area));
  quit();
}

TEST_F(Viewer, screenshots) {
  std::string wave[2] = {"0", "6.000"};
  for (int k = 1; k <= 60; ++k) {
    double x = 12.0 * k / 60;
    wave[0] += "," + format("%.3f", x);
    wave[1] += "," + format("%.3f", 6 * std::exp(-x / 6) * std::cos(1.6 * x));
  }
  for (auto [shot, text] : {std::pair{"3d", bump()}, {"2d", wave[0] + "\n" + wave[1] + "\n"}}) {
    ASSERT_TRUE(start());
    if (shot == std::string("2d")) app.clickSync(109);
    app.click(104);
    app.openFile(input(std::string(shot) + ".csv", text));
    app.capture();
    RECT r = app.windowRect();
    std::string png = readFile(screenshot(app.captureWindow(), dir, "plotvane-" + std::string(shot)));
    quit();
    auto bigEndian = [&](size_t at) {
      return png.size() < at + 4 ? 0 : (uint8_t(png[at]) << 24 | uint8_t(png[at + 1]) << 16 | uint8_t(png[at + 2]) << 8 |
                                        uint8_t(png[at + 3]));
    };
    EXPECT_TRUE(bigEndian(16) == r.right - r.left && bigEndian(20) == r.bottom - r.top && r.left >= 0 && r.top >= 0 &&
                r.right <= GetSystemMetrics(SM_CXSCREEN) && r.bottom <= GetSystemMetrics(SM_CYSCREEN))
        << "a screenshot of the whole dialog, on the screen, with the " << shot << " preview";
  }
}

}  // namespace
