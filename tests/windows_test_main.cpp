// The test programs' main on Windows: GoogleTest's own printer, except that the results of failed
// and skipped checks are printed with printf alone. GoogleTest also hands them to
// OutputDebugStringA, which raises a Windows exception; under qemu's user-mode emulation (how
// 32-bit programs run where the kernel runs none itself), a handled exception in a process with a
// second thread (GoogleTest starts one) breaks the process, so a failure would go unreported.
// The output is written in binary mode: lines end in LF alone, as CTest's test discovery reads
// them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <memory>

namespace {

using ::testing::TestEventListener;

class PrintfPrinter : public TestEventListener {
 public:
  explicit PrintfPrinter(TestEventListener* inner) : inner_(inner) {}
  void OnTestProgramStart(const ::testing::UnitTest& u) override { inner_->OnTestProgramStart(u); }
  void OnTestIterationStart(const ::testing::UnitTest& u, int i) override { inner_->OnTestIterationStart(u, i); }
  void OnEnvironmentsSetUpStart(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsSetUpStart(u); }
  void OnEnvironmentsSetUpEnd(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsSetUpEnd(u); }
  void OnTestSuiteStart(const ::testing::TestSuite& s) override { inner_->OnTestSuiteStart(s); }
  void OnTestStart(const ::testing::TestInfo& t) override { inner_->OnTestStart(t); }
  void OnTestPartResult(const ::testing::TestPartResult& r) override {
    if (r.type() == ::testing::TestPartResult::kSuccess) return;
    std::printf("%s:%d: %s\n%s\n", r.file_name() ? r.file_name() : "unknown file", r.line_number(),
                r.skipped() ? "Skipped" : "Failure", r.message());
    std::fflush(stdout);
  }
  void OnTestEnd(const ::testing::TestInfo& t) override { inner_->OnTestEnd(t); }
  void OnTestSuiteEnd(const ::testing::TestSuite& s) override { inner_->OnTestSuiteEnd(s); }
  void OnEnvironmentsTearDownStart(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsTearDownStart(u); }
  void OnEnvironmentsTearDownEnd(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsTearDownEnd(u); }
  void OnTestIterationEnd(const ::testing::UnitTest& u, int i) override { inner_->OnTestIterationEnd(u, i); }
  void OnTestProgramEnd(const ::testing::UnitTest& u) override { inner_->OnTestProgramEnd(u); }

 private:
  std::unique_ptr<TestEventListener> inner_;
};

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
  if (TestEventListener* printer = listeners.Release(listeners.default_result_printer()))
    listeners.Append(new PrintfPrinter(printer));
  return RUN_ALL_TESTS();
}
