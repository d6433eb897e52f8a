#include "converter/converter_run.h"

#include <cstdio>

#include "common/command_line.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"
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

// Only the backslash separates directories in the paths Windows passes; POSIX builds (tests and
// the batch tool) also cut at "/".
#ifdef _WIN32
const char kDirectorySeparators[] = "\\";
#else
const char kDirectorySeparators[] = "\\/";
#endif

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

// A name is taken when it opens for reading.
bool opensForReading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return false;
  std::fclose(file);
  return true;
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

bool openInputFile(ConverterRun* run, TextInput* in) {
  if (!run->tail.empty()) {
    run->inputPath = run->tail;
  } else if (!chooseCsvFile(&run->inputPath, true)) {
    showError(kNoFileChosen);
    return false;
  }
  if (!textInputOpen(in, run->inputPath.c_str())) {
    showError(kReadFileError);
    return false;
  }
  return true;
}

bool makeAutoOutputName(ConverterRun* run) {
  size_t cut = run->tail.find_last_of(kDirectorySeparators);
  std::string directory = cut == std::string::npos ? std::string() : run->tail.substr(0, cut + 1);
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    unsigned number;
    if (!drawCandidate(&run->candidateCounter, &number)) break;
    run->outputPath = directory + "TMP" + std::to_string(number) + ".csv";
    run->viewerPath = directory;
    if (!opensForReading(run->outputPath)) {
      run->viewerPath += kViewerName;
      return true;
    }
  }
  showError(kNoAutomaticName);
  return false;
}

OutputFile* openOutputFile(ConverterRun* run) {
  if (!run->tail.empty()) {
    if (!makeAutoOutputName(run)) return nullptr;
  } else if (!chooseCsvFile(&run->outputPath, false)) {
    showError(kNoFileChosen);
    return nullptr;
  }
  std::string error;
  OutputFile* file = outputFileCreate(run->outputPath.c_str(), &error);
  if (!file) showError(kSaveFileError);
  return file;
}

void startViewer(const ConverterRun& run) {
  if (shellStart(kViewerName, run.outputPath.c_str()) >= kShellStarted) return;
  if (shellStart(run.viewerPath.c_str(), run.outputPath.c_str()) >= kShellStarted) return;
  std::string text = std::string("plotvane.exe が見つかりませんでした\n(") + run.viewerPath + ")";
  showError(text.c_str());
}

int runConverter(const char* commandLineTail) {
  ConverterRun run{};
  run.tail = pathFromTail(commandLineTail);

  TextInput in;
  if (!openInputFile(&run, &in)) {
    showError(kReadFileError);
    return 1;
  }
  XyzListShape shape;
  int64_t checkResult = validateXyzList(&in, &shape);
  if (in.failed) {
    // The data did not read to its end (or could not be read again): nothing to convert.
    textInputClose(&in);
    showError(kReadFileError);
    return 1;
  }
  if (checkResult <= 0) {
    textInputClose(&in);
    showCheckFailure(checkResult);
    return 1;
  }

  OutputFile* file = openOutputFile(&run);
  if (!file) {
    textInputClose(&in);
    showError(kSaveFileError);
    return 1;
  }
  TextOutput out;
  FoldResult result = FoldResult::outOfMemory;
  bool written = false;
  if (textOutputBegin(&out, drainToOutputFile, file)) {
    result = foldXyzList(&in, shape.pointCapacity, &out);
    written = textOutputEnd(&out);
  }
  bool readFailed = in.failed;
  textInputClose(&in);
  if (result != FoldResult::ok || readFailed || !written) {
    outputFileDiscard(file);
    showError(result != FoldResult::ok ? kOutOfMemory : readFailed ? kReadFileError : kSaveFileError);
    return 1;
  }
  // Flushing, closing or moving the file into place can still fail (a full disk, for one).
  std::string error;
  if (!outputFileCommit(file, &error)) {
    showError(kSaveFileError);
    return 1;
  }

  if (!run.tail.empty()) startViewer(run);
  return 0;
}
