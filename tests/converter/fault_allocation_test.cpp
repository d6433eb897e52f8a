// Memory exhaustion at every allocation of a gridfold run, one allocation at a time: each run must
// end either exactly like a run with memory to spare, or with the one memory message, status 1,
// no grid file or temporary file and no viewer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "converter/converter_run.h"
#include "platform/recording/recording.h"
#include "tests/common/fault_operator_new.h"
#include "tests/common/fault_support.h"
#include "tests/converter/converter_test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kOutOfMemory = "messageBox Error: メモリ確保に失敗しました";
// One value is collected rather than converted in place (a quotation mark comes first), and is
// long enough to outgrow the scanner's inline buffer twice.
const std::string kList = "2,1,5\n1,1,4\n1,0,\"2." + std::string(150, '0') + "\"\n2,0,3\n";
const std::string kGrid = "XYZ,1.000000,2.000000\r\n0.000000,2.000000,3.000000\r\n1.000000,4.000000,5.000000";

struct CleanRun {
  int status;
  std::vector<std::string> events;
  std::vector<std::string> names;  // in the input's folder
};

class ConverterAllocationFailure : public ConverterFolders {
 protected:
  // A run ends like the clean run, or in the memory path: one message after what the clean run
  // showed up to that point, and the files as they were, except a grid file that was already in
  // place (the only run that then ends with status 0).
  void expectCleanOrMemoryPath(int status, bool struck, const CleanRun& clean, const std::vector<std::string>& namesBefore,
                               const std::string& output, const std::optional<std::string>& oldOutput) {
    const std::vector<std::string>& seen = recording().events;
    EXPECT_TRUE(namesIn(work).empty());
    if (status == clean.status && seen == clean.events) {
      EXPECT_EQ(namesIn(data), clean.names);
      EXPECT_EQ(readFile(data / output), kGrid);
      return;
    }
    EXPECT_TRUE(struck);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), kOutOfMemory) << ::testing::PrintToString(seen);
    std::vector<std::string> before(seen.begin(), seen.end() - 1);
    ASSERT_LE(before.size(), clean.events.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), clean.events.begin())) << ::testing::PrintToString(seen);
    bool converted = status == 0;
    if (converted) {
      EXPECT_EQ(namesIn(data), clean.names);
      EXPECT_EQ(readFile(data / output), kGrid);
    } else {
      EXPECT_EQ(status, 1);
      EXPECT_EQ(namesIn(data), namesBefore);
      EXPECT_EQ(readFile(data / output), oldOutput ? *oldOutput : "<missing>");
    }
  }

  std::string inData(const std::string& name) const { return (data / name).string(); }

};

TEST_F(ConverterAllocationFailure, EveryKindOfRun) {
  struct Case {
    const char* scenario;
    bool commandLine;
    std::vector<long long> shellResults;
    std::vector<std::string> cleanEvents;
  };
  const std::string open = "openDialog ファイルを開く []", save = "saveDialog ファイルの保存 []";
  const std::string start = siblingStart(inData("TMP1.csv"));
  const Case cases[] = {
      {"gridfold command-line run", true, {}, {start}},
      {"gridfold dialog run", false, {}, {open, save}},
      // The message naming the viewer is made after the grid file is in place.
      {"gridfold command-line run, viewer not found",
       true,
       {2, 2, 2},
       {start, searchedStart(inData("TMP1.csv")), folderStart(inData("plotvane.exe"), inData("TMP1.csv")),
        "messageBox Error: plotvane.exe が見つかりませんでした\n(" + inData("plotvane.exe") + ")"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const std::string output = c.commandLine ? "TMP1.csv" : "out.csv";
    // The dialog run replaces a file that must survive every failed run.
    const std::optional<std::string> oldOutput = c.commandLine ? std::nullopt : std::optional<std::string>("old");
    const std::string tail = c.commandLine ? inData("in.xyz") : "";
    auto prepare = [&] {
      for (const fs::path& folder : {data, work})
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
      writeFile(data / "in.xyz", kList);
      if (oldOutput) writeFile(data / output, *oldOutput);
      recordingReset();
      if (!c.commandLine) recording().fileAnswers = {inData("in.xyz"), inData("out.csv")};
      recording().shellResults.assign(c.shellResults.begin(), c.shellResults.end());
    };
    auto act = [&] { return runConverter(tail.c_str()); };
    prepare();
    const std::vector<std::string> namesBefore = namesIn(data);
    CleanRun clean{act(), recording().events, namesIn(data)};
    ASSERT_EQ(clean.status, 0);
    ASSERT_EQ(clean.events, c.cleanEvents);
    ASSERT_EQ(readFile(data / output), kGrid);
    failEveryAllocation(c.scenario, prepare, act, [&](int status, bool struck) {
      expectCleanOrMemoryPath(status, struck, clean, namesBefore, output, oldOutput);
    });
  }
}

}  // namespace
