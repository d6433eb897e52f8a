#include "converter/converter_run.h"

#include <new>

#include "common/command_line.h"
#include "common/extended_precision.h"
#include "common/path_text.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "platform/file_system.h"
#include "platform/input_file.h"
#include "platform/platform.h"

namespace {

const char kCaption[] = "Error";
const char kNoFileChosen[] = "ファイルが選択されませんでした";
const char kReadFileError[] = "読込ファイルエラー";
const char kSaveFileError[] = "保存ファイルエラー";
const char kNoAutomaticName[] = "保存用ファイルを自動作成できませんでした";
const char kOutOfMemory[] = "メモリ確保に失敗しました";
const char kViewerName[] = "plotvane.exe";

constexpr int kNameTries = 65535;
constexpr long long kShellStarted = 32;  // shell results below it are failures

void showError(const char* text) { messageBox(nullptr, text, kCaption, MessageButtons::ok); }

void showCheckFailure(int64_t checkResult) {
  std::string text = std::to_string(1 - checkResult) +
                     "行目が３つのデータ（X,Y,Z）の構成になっていません。\n終了します。";
  showError(text.c_str());
}

// Next candidate number: the counter goes 1 .. 65535 and round again, passing over every
// number that a TMPn.$$$ in the working directory reserves. False when all of them do.
bool drawCandidate(uint16_t* counter, unsigned* number) {
  for (int draws = 0; draws < kNameTries; ++draws) {
    if (++*counter == 0) *counter = 1;
    std::string reserved = "TMP" + std::to_string(*counter) + ".$$$";
    if (!pathExists(reserved.c_str())) {
      *number = *counter;
      return true;
    }
  }
  return false;
}

// The message of an input or output that did not open; memory exhaustion has its own.
StepResult openFailed(IoResult result, const char* message) {
  bool outOfMemory = result.kind == IoResult::outOfMemory;
  showError(outOfMemory ? kOutOfMemory : message);
  return outOfMemory ? StepResult::outOfMemory : StepResult::refused;
}

}  // namespace

bool chooseCsvFile(std::string* path, bool open) {
  FileDialogSetup setup{};
  setup.save = !open;
  setup.filterName = "CSV(*.csv)";
  setup.filterSpec = "*.csv";
  setup.defaultExtension = "csv";
  setup.title = open ? "ファイルを開く" : "ファイルの保存";
  return chooseFile(setup, path);
}

StepResult openInputFile(ConverterRun* run, TextInput* in) {
  if (!run->tail.empty()) {
    run->inputPath = run->tail;
  } else if (!chooseCsvFile(&run->inputPath, true)) {
    showError(kNoFileChosen);
    return StepResult::refused;
  }
  IoResult opened = inputFileOpen(in, run->inputPath.c_str());
  return opened.kind == IoResult::ok ? StepResult::done : openFailed(opened, kReadFileError);
}

bool makeAutoOutputName(ConverterRun* run) {
  size_t cut = lastPathSeparator(run->tail, directorySeparators());
  std::string directory = cut == std::string::npos ? std::string() : run->tail.substr(0, cut + 1);
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    unsigned number;
    if (!drawCandidate(&run->candidateCounter, &number)) break;
    run->outputPath = directory + "TMP" + std::to_string(number) + ".csv";
    run->viewerPath = directory;
    // A name is taken when it opens for reading.
    if (!fileOpensForReading(run->outputPath.c_str())) {
      run->viewerPath += kViewerName;
      return true;
    }
  }
  showError(kNoAutomaticName);
  return false;
}

StepResult openOutputFile(ConverterRun* run, OutputFile** file) {
  if (!run->tail.empty()) {
    if (!makeAutoOutputName(run)) return StepResult::refused;
  } else if (!chooseCsvFile(&run->outputPath, false)) {
    showError(kNoFileChosen);
    return StepResult::refused;
  }
  IoResult created;
  *file = outputFileCreate(run->outputPath.c_str(), &created);
  return *file ? StepResult::done : openFailed(created, kSaveFileError);
}

void startViewer(const ConverterRun& run) {
  if (shellStart(kViewerName, run.outputPath.c_str()) >= kShellStarted) return;
  if (shellStart(run.viewerPath.c_str(), run.outputPath.c_str()) >= kShellStarted) return;
  std::string text = std::string("plotvane.exe が見つかりませんでした\n(") + run.viewerPath + ")";
  showError(text.c_str());
}

namespace {

// What a run holds, so that the memory path can release it wherever exhaustion struck.
struct RunFiles {
  TextInput in;
  bool inputOpen;
  OutputFile* output;  // until committed or discarded
  bool converted;      // the grid file is in place
};

void closeInput(RunFiles* files) {
  if (!files->inputOpen) return;
  textInputClose(&files->in);
  files->inputOpen = false;
}

void discardOutput(RunFiles* files) {
  if (!files->output) return;
  outputFileDiscard(files->output);
  files->output = nullptr;
}

// A run that stops: nothing left open or half written, then the message that names the failing
// side (none when the failing step has said all). Exit status 1.
int stopRun(RunFiles* files, const char* message) {
  closeInput(files);
  discardOutput(files);
  if (message) showError(message);
  return 1;
}

// Memory exhaustion at any step: one message, nothing left behind but a grid file already in
// place, and no viewer. Only a run that had converted the file still ends with status 0.
int outOfMemory(RunFiles* files) {
  stopRun(files, kOutOfMemory);
  return files->converted ? 0 : 1;
}

// The check of the input. At most 0 after the run has stopped with its message.
int64_t checkInput(RunFiles* files, XyzListShape* shape) {
  int64_t result = validateXyzList(&files->in, shape);
  // The data did not read to its end (or could not be read again): nothing to convert.
  if (files->in.error != 0) {
    stopRun(files, kReadFileError);
    return 0;
  }
  if (result <= 0) {
    stopRun(files, nullptr);
    showCheckFailure(result);
  }
  return result;
}

// Scan, sort and write the grid file, then move it into place. 0 once it is there; otherwise the
// run has stopped and this is its exit status.
int writeGrid(RunFiles* files, const XyzListShape& shape) {
  TextOutput out;
  if (!textOutputBegin(&out, drainToOutputFile, files->output)) return outOfMemory(files);
  FoldResult result = foldXyzList(&files->in, shape, &out);
  bool written = textOutputEnd(&out);
  bool readFailed = files->in.error != 0;
  closeInput(files);
  if (result == FoldResult::outOfMemory) return outOfMemory(files);
  if (readFailed || !written) return stopRun(files, readFailed ? kReadFileError : kSaveFileError);
  // Flushing, closing or moving the file into place can still fail (a full disk, for one).
  OutputFile* file = files->output;
  files->output = nullptr;  // the commit releases it either way
  if (outputFileCommit(file).kind != IoResult::ok) return stopRun(files, kSaveFileError);
  files->converted = true;
  return 0;
}

int convert(const char* commandLineTail, ConverterRun* run, RunFiles* files) {
  run->tail = pathFromTail(commandLineTail);
  switch (openInputFile(run, &files->in)) {
    case StepResult::refused: return stopRun(files, kReadFileError);
    case StepResult::outOfMemory: return stopRun(files, nullptr);
    case StepResult::done: files->inputOpen = true; break;
  }
  XyzListShape shape;
  if (checkInput(files, &shape) <= 0) return 1;
  switch (openOutputFile(run, &files->output)) {
    case StepResult::refused: return stopRun(files, kSaveFileError);
    case StepResult::outOfMemory: return stopRun(files, nullptr);
    case StepResult::done: break;
  }
  int status = writeGrid(files, shape);
  if (status == 0 && !run->tail.empty()) startViewer(*run);
  return status;
}

}  // namespace

int runConverter(const char* commandLineTail) {
  useExtendedPrecision();
  ConverterRun run{};
  RunFiles files{};
  // The run's strings report exhaustion with std::bad_alloc; it ends here, in the memory path.
  try {
    return convert(commandLineTail, &run, &files);
  } catch (const std::bad_alloc&) {
    return outOfMemory(&files);
  }
}
