// pv_gui_watch: the gridfold demo's eyes where there is no desktop (scripts/run-gridfold-demo.sh):
// waits for the plotvane dialog that gridfold started, saves a screenshot of it, closes it with
// アプリ終了 and prints what it saw: "image PATH", "status TEXT", "exit STATUS".
//
//   pv_gui_watch SCREENSHOT.png
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/gui/dialog_driver.h"

namespace {

std::string gScreenshot;

TEST(Demo, ViewerShowsTheGrid) {
  App viewer;
  ASSERT_TRUE(viewer.viewer());
  std::printf("image %s\nstatus %s\n", viewer.image().c_str(), viewer.status().c_str());
  viewer.capture();
  EXPECT_TRUE(savePng(viewer.captureWindow(), gScreenshot)) << "cannot write " << gScreenshot;
  viewer.click(107);
  std::printf("exit %d\n", viewer.exitCode());
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: pv_gui_watch SCREENSHOT.png\n");
    return 2;
  }
  gScreenshot = argv[1];
  return RUN_ALL_TESTS();
}
