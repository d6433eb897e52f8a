// A gridfold run whose grid file fails at any one of its writes, or while it is flushed, closed or
// moved into place: "保存ファイルエラー", status 1, no grid file or temporary file, no viewer, and
// a file the save dialog chose to replace stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "converter/converter_run.h"
#include "platform/output_file.h"
#include "platform/recording/recording.h"
#include "tests/converter/converter_test_support.h"
#include "tests/file_faults.h"

namespace fs = std::filesystem;

namespace {

const std::string kSaveFileError = "messageBox Error: 保存ファイルエラー";

// 300 x 300 points: a grid file of several output blocks.
std::string bigList() {
  std::string list;
  for (int j = 0; j < 300; ++j)
    for (int i = 0; i < 300; ++i) list += std::to_string(i) + "," + std::to_string(j) + "," + std::to_string(i * j) + ".25\n";
  return list;
}

class ConverterWriteFailure : public ConverterFolders {
 protected:
  void TearDown() override {
    outputFileInjectFailure(OutputFault{});
    ConverterFolders::TearDown();
  }
};

TEST_F(ConverterWriteFailure, AtEveryWriteAndAtTheCommit) {
  const std::string list = bigList();
  writeFile(root / "in.xyz", list);
  const std::string in = (root / "in.xyz").string();
  const std::string out = (root / "out.csv").string();
  const std::string open = "openDialog ファイルを開く []", save = "saveDialog ファイルの保存 []";
  struct Case {
    const char* kind;
    std::string tail;
    std::string output;                // the grid file a clean run writes
    std::vector<std::string> failed;   // the events of a run whose file failed
  } cases[] = {
      {"command-line run", in, "TMP1.csv", {kSaveFileError}},
      {"dialog run", "", "out.csv", {open, save, kSaveFileError}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const fs::path output = root / c.output;
    auto prepare = [&] {
      recordingReset();
      if (c.tail.empty()) {
        recording().fileAnswers = {in, out};
        writeFile(output, "old");
      }
    };
    const std::vector<std::string> namesBefore = c.tail.empty()
                                                     ? std::vector<std::string>{"data", "in.xyz", "out.csv", "work"}
                                                     : std::vector<std::string>{"data", "in.xyz", "work"};

    prepare();
    outputFileInjectFailure(OutputFault{});
    ASSERT_EQ(runConverter(c.tail.c_str()), 0);
    const int writes = outputFileWriteCalls();
    ASSERT_GE(writes, 3) << "the grid file should span several output blocks";
    const std::string grid = readFile(output);
    ASSERT_EQ(grid, foldText(list));
    fs::remove(output);

    std::vector<std::pair<std::string, OutputFault>> faults;
    for (int k = 1; k <= writes; ++k) {
      faults.push_back({"write " + std::to_string(k), {OutputFaultPoint::write, k}});
      faults.push_back({"short write " + std::to_string(k), {OutputFaultPoint::shortWrite, k}});
    }
    faults.push_back({"flush", {OutputFaultPoint::flush, 0}});
    faults.push_back({"close", {OutputFaultPoint::close, 0}});
    faults.push_back({"move onto the target", {OutputFaultPoint::move, 0}});
    for (const auto& [name, fault] : faults) {
      SCOPED_TRACE(name);
      prepare();
      outputFileInjectFailure(fault);
      EXPECT_EQ(runConverter(c.tail.c_str()), 1);
      outputFileInjectFailure(OutputFault{});
      EXPECT_EQ(recording().events, c.failed);  // and so no viewer start
      EXPECT_EQ(namesIn(root), namesBefore);
      if (c.tail.empty()) {
        EXPECT_EQ(readFile(output), "old");
      }
      if (HasFailure()) return;
    }
    std::printf("[ points   ] gridfold %s: %d writes (each failing whole and after half), flush, close, move\n", c.kind,
                writes);
  }
}

}  // namespace
