#include "converter/converter_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/recording/recording.h"
#include "tests/converter/converter_test_support.h"
#include "tests/file_faults.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string kNoFileChosen = "messageBox Error: ファイルが選択されませんでした";
const std::string kReadFileError = "messageBox Error: 読込ファイルエラー";
const std::string kSaveFileError = "messageBox Error: 保存ファイルエラー";
const std::string kNoAutomaticName = "messageBox Error: 保存用ファイルを自動作成できませんでした";
const std::string kOutOfMemory = "messageBox Error: メモリ確保に失敗しました";

std::string checkMessage(int line) {
  return "messageBox Error: " + std::to_string(line) + "行目が３つのデータ（X,Y,Z）の構成になっていません。\n終了します。";
}
std::string notGridMessage(const std::string& reason) {
  return "messageBox Error: " + reason + "\n格子状のデータではありません。";
}
std::string viewerMessage(const std::string& viewerPath) {
  return "messageBox Error: plotvane.exe が見つかりませんでした\n(" + viewerPath + ")";
}

const std::string kList = "2,1,5\n1,1,4\n1,0,2\n2,0,3\n";
const std::string kGrid = "XYZ,1.000000,2.000000\r\n0.000000,2.000000,3.000000\r\n1.000000,4.000000,5.000000";

std::vector<std::string> eventsStartingWith(const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& e : recording().events)
    if (e.compare(0, prefix.size(), prefix) == 0) found.push_back(e);
  return found;
}
std::vector<std::string> messageBoxes() { return eventsStartingWith("messageBox"); }
std::vector<std::string> viewerStarts() { return eventsStartingWith("shellStart"); }

void touch(const fs::path& path) { writeFile(path, ""); }

void emptyFolder(const fs::path& folder) {
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

// Each test runs with two folders of its own: data (the input's folder) and work (the
// current working directory, where TMPn.$$$ names reserve numbers).
class ConverterRunTest : public ConverterFolders {
 protected:
  int run(const std::string& tail) { return runConverter(tail.c_str()); }
};

TEST_F(ConverterRunTest, EveryWayARunEndsShowsItsMessagesInOrder) {
  struct Case {
    const char* name;
    std::string input;  // written to data/in.xyz; "<none>" writes nothing
    std::string tail;
    std::vector<std::optional<std::string>> fileAnswers;
    std::vector<long long> shellResults;
    std::vector<std::string> events;
    int status;
    const char* output;  // the grid file the run leaves in data, if any
  };
  const std::string in = inData("in.xyz");
  const std::string open = "openDialog ファイルを開く []", save = "saveDialog ファイルの保存 []";
  const Case cases[] = {
      {"command-line run", kList, in, {}, {}, {siblingStart(inData("TMP1.csv"))}, 0, "TMP1.csv"},
      {"dialog run", kList, "", {in, inData("out.csv")}, {}, {open, save}, 0, "out.csv"},
      {"open dialog cancelled", kList, "", {std::nullopt}, {}, {open, kNoFileChosen, kReadFileError}, 1, nullptr},
      {"input path cannot be opened", "<none>", in, {}, {}, {kReadFileError, kReadFileError}, 1, nullptr},
      {"chosen input cannot be opened", "<none>", "", {in}, {}, {open, kReadFileError, kReadFileError}, 1, nullptr},
      {"check fails at line 3", "1,2,3\n4,5,6\n7,8\n", in, {}, {}, {checkMessage(3)}, 1, nullptr},
      {"empty input", "", in, {}, {}, {checkMessage(1)}, 1, nullptr},
      {"header line", "X,Y,Z\r\n" + kList, in, {}, {}, {siblingStart(inData("TMP1.csv"))}, 0, "TMP1.csv"},
      {"bad line 2 after a header", "X,Y,Z\n1,2\n", in, {}, {}, {checkMessage(2)}, 1, nullptr},
      {"bad line 2 without a header", "1,2,3\n1,2\n", in, {}, {}, {checkMessage(2)}, 1, nullptr},
      {"header alone", "X,Y,Z\r\n", in, {}, {}, {checkMessage(2)}, 1, nullptr},
      {"failed check, no save dialog", "1,2,3\n\n", "", {in}, {}, {open, checkMessage(2)}, 1, nullptr},
      {"scattered points", "10.5,3.2,1\n7.1,8.4,2\n", in, {}, {},
       {notGridMessage("Y=8.400000 の行の X=7.100000 が、最初の行の X=10.500000 と違います。")}, 1, nullptr},
      {"a point missing", "1,0,2\n2,0,3\n2,1,5\n", in, {}, {},
       {notGridMessage("Y=1.000000 の行の点の数が 1 個で、最初の行の 2 個と違います。")}, 1, nullptr},
      {"two Z at one X,Y, no save dialog", "1,0,2\n1,0,3\n", "", {in}, {},
       {open, notGridMessage("Y=0.000000 の行に X=1.000000 の点が２つ以上あります。")}, 1, nullptr},
      {"save dialog cancelled", kList, "", {in, std::nullopt}, {}, {open, save, kNoFileChosen, kSaveFileError}, 1, nullptr},
      {"output path cannot be opened", kList, "", {in, inData("nowhere/out.csv")}, {},
       {open, save, kSaveFileError, kSaveFileError}, 1, nullptr},
      {"every viewer start fails", kList, in, {}, {2, 2, 31},
       {siblingStart(inData("TMP1.csv")), searchedStart(inData("TMP1.csv")),
        folderStart(inData("plotvane.exe"), inData("TMP1.csv")), viewerMessage(inData("plotvane.exe"))},
       0, "TMP1.csv"},
  };
  for (const Case& c : cases) {
    emptyFolder(data);
    std::vector<std::string> names;
    if (c.input != "<none>") {
      writeFile(data / "in.xyz", c.input);
      names.push_back("in.xyz");
    }
    recordingReset();
    recording().fileAnswers.assign(c.fileAnswers.begin(), c.fileAnswers.end());
    recording().shellResults.assign(c.shellResults.begin(), c.shellResults.end());
    EXPECT_EQ(run(c.tail), c.status) << c.name;
    EXPECT_EQ(recording().events, c.events) << c.name;
    if (c.output) {
      EXPECT_EQ(readFile(data / c.output), kGrid) << c.name;
      names.push_back(c.output);
      std::sort(names.begin(), names.end());
    }
    EXPECT_EQ(namesIn(data), names) << c.name;  // and no temporary file
  }
}

// Every read of a run fails in turn, in the check or in the scan: one "読込ファイルエラー", status
// 1, and no grid file.
TEST_F(ConverterRunTest, ReadFailingPartwayStopsTheRun) {
  writeFile(data / "in.xyz", kList);
  textInputInjectReadFailure(0);
  ASSERT_EQ(run(inData("in.xyz")), 0);
  const int reads = textInputReadCalls();
  ASSERT_GE(reads, 4) << "the check and the scan should read to the end of the file each";
  for (int k = 1; k <= reads; ++k) {
    SCOPED_TRACE("read " + std::to_string(k) + " fails");
    fs::remove(data / "TMP1.csv");
    recordingReset();
    textInputInjectReadFailure(k);
    EXPECT_EQ(run(inData("in.xyz")), 1);
    textInputInjectReadFailure(0);
    EXPECT_EQ(recording().events, std::vector<std::string>{kReadFileError});
    EXPECT_EQ(namesIn(data), std::vector<std::string>{"in.xyz"});
  }
}

TEST_F(ConverterRunTest, FileDialogsAreSetUpForCsvFiles) {
  std::string path;
  chooseCsvFile(&path, true);
  chooseCsvFile(&path, false);
  ASSERT_EQ(recording().fileDialogs.size(), 2u);
  for (const FileDialogSetup& setup : recording().fileDialogs) {
    EXPECT_STREQ(setup.filterName, "CSV(*.csv)");
    EXPECT_STREQ(setup.filterSpec, "*.csv");
    EXPECT_STREQ(setup.defaultExtension, "csv");
  }
  EXPECT_FALSE(recording().fileDialogs[0].save);
  EXPECT_TRUE(recording().fileDialogs[1].save);
}

// Wine looks names up case-insensitively by reading the folder, so 65535 files there take
// many minutes; the naming code is the same on both systems.
#ifdef _WIN32
#define SKIP_WITH_65535_FILES() GTEST_SKIP() << "65535 files in one folder are too slow under Wine"
#else
#define SKIP_WITH_65535_FILES() (void)0
#endif

TEST_F(ConverterRunTest, NamingGivesUpWhenEveryNumberIsTakenOrReserved) {
  SKIP_WITH_65535_FILES();
  writeFile(data / "in.xyz", kList);
  for (const fs::path& folder : {data, work}) {
    const char* extension = folder == data ? ".csv" : ".$$$";  // taken, then reserved
    for (int n = 1; n <= 65535; ++n) touch(folder / ("TMP" + std::to_string(n) + extension));
    recordingReset();
    EXPECT_EQ(run(inData("in.xyz")), 1);
    EXPECT_EQ(recording().events, (std::vector<std::string>{kNoAutomaticName, kSaveFileError}));
    emptyFolder(data);
    writeFile(data / "in.xyz", kList);
  }
}

TEST_F(ConverterRunTest, AutomaticNamesPassOverTakenAndReservedNumbers) {
  struct Case {
    const char* name;
    std::vector<fs::path> files, folders;  // made before the run
    const char* inputName;
    const char* outputName;
  } cases[] = {
      {"free folder", {}, {}, "in.xyz", "TMP1.csv"},
      {"TMP1.csv exists", {data / "TMP1.csv"}, {}, "in.xyz", "TMP2.csv"},
      {"input named TMP1.csv", {}, {}, "TMP1.csv", "TMP2.csv"},
      {"TMP1.$$$ in the working directory", {work / "TMP1.$$$"}, {}, "in.xyz", "TMP2.csv"},
      {"TMP1.$$$ file and TMP2.$$$ folder", {work / "TMP1.$$$"}, {work / "TMP2.$$$"}, "in.xyz", "TMP3.csv"},
      {"TMP1.$$$ and TMP2.csv", {work / "TMP1.$$$", data / "TMP2.csv"}, {}, "in.xyz", "TMP3.csv"},
      {"TMP1.$$$ beside the input only", {data / "TMP1.$$$"}, {}, "in.xyz", "TMP1.csv"},
  };
  for (const Case& c : cases) {
    emptyFolder(data);
    emptyFolder(work);  // the working directory itself must stay
    for (const fs::path& p : c.files) writeFile(p, "old");
    for (const fs::path& p : c.folders) fs::create_directories(p);
    writeFile(data / c.inputName, kList);
    recordingReset();
    EXPECT_EQ(run(inData(c.inputName)), 0) << c.name;
    EXPECT_EQ(readFile(data / c.outputName), kGrid) << c.name;
    EXPECT_EQ(viewerStarts(), std::vector<std::string>{siblingStart(inData(c.outputName))}) << c.name;
    for (const fs::path& p : c.files) EXPECT_EQ(readFile(p), "old") << c.name;
    EXPECT_EQ(readFile(data / c.inputName), kList) << c.name;
  }
}

TEST_F(ConverterRunTest, CandidateCounterRunsOnAndSkipsZero) {
  ConverterRun run{};
  run.tail = inData("in.xyz");
  ASSERT_TRUE(makeAutoOutputName(&run));
  EXPECT_EQ(run.outputPath, inData("TMP1.csv"));
  EXPECT_EQ(run.viewerPath, inData("plotvane.exe"));
  ASSERT_TRUE(makeAutoOutputName(&run));  // nothing was created, yet the count goes on
  EXPECT_EQ(run.outputPath, inData("TMP2.csv"));

  run.candidateCounter = 65534;
  touch(work / "TMP65535.$$$");
  ASSERT_TRUE(makeAutoOutputName(&run));
  EXPECT_EQ(run.outputPath, inData("TMP1.csv"));
  EXPECT_EQ(run.candidateCounter, 1);
}

// Paths are UTF-8 whatever the system's code page: the directory ends at the last separator.
TEST_F(ConverterRunTest, NamesCutAtTheLastSeparatorOfUtf8Paths) {
  struct Case {
    const char* name;
    const char* directory;
  } cases[] = {{"表.xyz", ""},
               {"ソ\\表.xyz", "ソ\\"},
               {"Zoë\\pts.xyz", "Zoë\\"},
               {"한글 측량\\\xF0\x9F\x93\x90.xyz", "한글 측량\\"},
               // Forward slashes separate as well (C:/site/points.xyz), also mixed with backslashes.
               {"site/points.xyz", "site/"},
               {"site\\sub/points.xyz", "site\\sub/"},
               {"site/sub\\points.xyz", "site/sub\\"}};
  for (const Case& c : cases) {
    ConverterRun run{};
    run.tail = inData("") + c.name;
    ASSERT_TRUE(makeAutoOutputName(&run));
    EXPECT_EQ(run.outputPath, inData("") + c.directory + "TMP1.csv") << c.name;
    EXPECT_EQ(run.viewerPath, inData("") + c.directory + "plotvane.exe") << c.name;
  }
}

TEST_F(ConverterRunTest, TailWithoutDirectoryNamesFilesInTheWorkingDirectory) {
  writeFile(work / "in.xyz", kList);
  recording().shellResults = {2, 2, 2};
  EXPECT_EQ(run("in.xyz"), 0);
  EXPECT_EQ(readFile(work / "TMP1.csv"), kGrid);
  EXPECT_EQ(recording().events, (std::vector<std::string>{siblingStart("TMP1.csv"), searchedStart("TMP1.csv"),
                                                          folderStart("plotvane.exe", "TMP1.csv"),
                                                          viewerMessage("plotvane.exe")}));
}

// The plotvane.exe beside gridfold.exe first, by its full path and trusted as a program of the same
// installation: Windows' search for the bare name never looks there. Then that search, then the
// list's folder.
TEST_F(ConverterRunTest, ViewerStartFallsBackToTheSearchAndTheInputsFolder) {
  struct Case {
    std::vector<long long> results;
    size_t starts;
    bool message;
  } cases[] = {
      {{42}, 1, false},        {{32}, 1, false},         {{31, 32}, 2, false},        {{0, 33}, 2, false},
      {{2, 31, 32}, 3, false}, {{31, 31, 31}, 3, true},
  };
  const std::string starts[] = {siblingStart(inData("TMP1.csv")), searchedStart(inData("TMP1.csv")),
                                folderStart(inData("plotvane.exe"), inData("TMP1.csv"))};
  for (const Case& c : cases) {
    fs::remove(data / "TMP1.csv");
    writeFile(data / "in.xyz", kList);
    recordingReset();
    recording().shellResults.assign(c.results.begin(), c.results.end());
    EXPECT_EQ(run(inData("in.xyz")), 0);
    std::vector<std::string> expected(starts, starts + c.starts);
    EXPECT_EQ(viewerStarts(), expected) << c.results[0];
    EXPECT_EQ(messageBoxes().size(), c.message ? 1u : 0u) << c.results[0];
    EXPECT_EQ(readFile(data / "TMP1.csv"), kGrid);
  }
}

TEST_F(ConverterRunTest, QuotationMarksAroundTheTailAreRemoved) {
  writeFile(data / "in put.xyz", kList);
  EXPECT_EQ(run("\"" + inData("in put.xyz") + "\""), 0);
  EXPECT_EQ(readFile(data / "TMP1.csv"), kGrid);
  EXPECT_EQ(run(inData("in put.xyz")), 0);  // blanks without quotation marks: the whole tail
  EXPECT_EQ(readFile(data / "TMP2.csv"), kGrid);
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(ConverterRunTest, FailedCommitLeavesTheTargetAndNoTemporaryFile) {
  // The save dialog names an existing folder: the file is written, but cannot take its place.
  writeFile(data / "in.xyz", kList);
  fs::create_directories(data / "target.csv");
  recording().fileAnswers = {inData("in.xyz"), inData("target.csv")};
  EXPECT_EQ(run(""), 1);
  EXPECT_EQ(messageBoxes(), std::vector<std::string>{kSaveFileError});
  EXPECT_TRUE(fs::is_directory(data / "target.csv"));
  EXPECT_EQ(namesIn(data), (std::vector<std::string>{"in.xyz", "target.csv"}));
}

#ifndef _WIN32
TEST_F(ConverterRunTest, LongPathsWork) {
  fs::path deep = data;
  for (int level = 0; level < 12; ++level) deep /= std::string(60, static_cast<char>('a' + level));
  fs::create_directories(deep);
  writeFile(deep / "in.xyz", kList);
  ASSERT_GT((deep / "in.xyz").string().size(), 700u);
  EXPECT_EQ(run((deep / "in.xyz").string()), 0);
  EXPECT_EQ(readFile(deep / "TMP1.csv"), kGrid);
  EXPECT_EQ(viewerStarts(), std::vector<std::string>{siblingStart((deep / "TMP1.csv").string())});
}

// Runs with a file size limit, so that writing the grid file fails like a full disk.
int runWithFileSizeLimit(const std::string& tail, rlim_t bytes) {
  struct rlimit previous;
  getrlimit(RLIMIT_FSIZE, &previous);
  struct rlimit limited = previous;
  limited.rlim_cur = bytes;
  void (*previousHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limited);
  int status = runConverter(tail.c_str());
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  return status;
}

std::string manyPoints(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) list += std::to_string(i % 100) + "," + std::to_string(i / 100) + ",1.5\n";
  return list;
}

TEST_F(ConverterRunTest, WriteFailureIsReportedAndLeavesNoGridFile) {
  writeFile(data / "in.xyz", manyPoints(5000));
  EXPECT_EQ(runWithFileSizeLimit(inData("in.xyz"), 4096), 1);
  EXPECT_EQ(recording().events, std::vector<std::string>{kSaveFileError});  // and no viewer start
  EXPECT_EQ(namesIn(data), std::vector<std::string>{"in.xyz"});

  // An existing target keeps its contents.
  writeFile(data / "out.csv", "old");
  recordingReset();
  recording().fileAnswers = {inData("in.xyz"), inData("out.csv")};
  EXPECT_EQ(runWithFileSizeLimit("", 4096), 1);
  EXPECT_EQ(messageBoxes(), std::vector<std::string>{kSaveFileError});
  EXPECT_EQ(readFile(data / "out.csv"), "old");
  EXPECT_EQ(namesIn(data), (std::vector<std::string>{"in.xyz", "out.csv"}));
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
long virtualMemoryKiB() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  char line[256];
  long kib = 0;
  while (status && std::fgets(line, sizeof line, status))
    if (std::sscanf(line, "VmSize: %ld kB", &kib) == 1) break;
  if (status) std::fclose(status);
  return kib;
}

TEST_F(ConverterRunTest, PointArrayThatCannotBeAllocatedEndsTheRun) {
  // 400 000 points need 9.6 MB; the address space is limited to a few MB beyond what is in use.
  writeFile(data / "in.xyz", manyPoints(400000));
  struct rlimit previous;
  getrlimit(RLIMIT_AS, &previous);
  struct rlimit limited = previous;
  limited.rlim_cur = static_cast<rlim_t>(virtualMemoryKiB() + 4096) * 1024;
  setrlimit(RLIMIT_AS, &limited);
  int status = run(inData("in.xyz"));
  setrlimit(RLIMIT_AS, &previous);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(recording().events, std::vector<std::string>{kOutOfMemory});
  EXPECT_EQ(namesIn(data), std::vector<std::string>{"in.xyz"});
}
#endif
#endif

}  // namespace
