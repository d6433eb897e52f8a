#include "converter/converter_run.h"

#include <cerrno>
#include <cstdio>
#include <new>

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

enum class Opened { yes, no, outOfMemory };

// Input from the tail or the open dialog. `no` after its own message; outOfMemory without one.
Opened openInput(ConverterRun* run, TextInput* in) {
  if (!run->tail.empty()) {
    run->inputPath = run->tail;
  } else if (!chooseCsvFile(&run->inputPath, true)) {
    showError(kNoFileChosen);
    return Opened::no;
  }
  if (!textInputOpen(in, run->inputPath.c_str())) {
    if (errno == ENOMEM) return Opened::outOfMemory;  // the file itself may be fine
    showError(kReadFileError);
    return Opened::no;
  }
  return Opened::yes;
}

// Output named automatically or in the save dialog. `no` after its own message, where it has one;
// outOfMemory without one.
Opened openOutput(ConverterRun* run, OutputFile** file) {
  if (!run->tail.empty()) {
    if (!makeAutoOutputName(run)) return Opened::no;
  } else if (!chooseCsvFile(&run->outputPath, false)) {
    showError(kNoFileChosen);
    return Opened::no;
  }
  std::string error;
  *file = outputFileCreate(run->outputPath.c_str(), &error);
  if (*file) return Opened::yes;
  if (errno == ENOMEM) return Opened::outOfMemory;
  showError(kSaveFileError);
  return Opened::no;
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

// Shows the memory message itself, so that a failure always comes after a message.
bool openInputFile(ConverterRun* run, TextInput* in) {
  Opened opened = openInput(run, in);
  if (opened == Opened::outOfMemory) showError(kOutOfMemory);
  return opened == Opened::yes;
}

bool makeAutoOutputName(ConverterRun* run) {
  size_t cut = lastPathSeparator(run->tail, kDirectorySeparators);
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

// Shows the memory message itself, so that a failure always comes after a message.
OutputFile* openOutputFile(ConverterRun* run) {
  OutputFile* file = nullptr;
  if (openOutput(run, &file) == Opened::outOfMemory) showError(kOutOfMemory);
  return file;
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

// Memory exhaustion at any step: one message, nothing left behind but a grid file already in
// place, and no viewer. Only a run that had converted the file still ends with status 0.
int outOfMemory(RunFiles* files) {
  closeInput(files);
  discardOutput(files);
  showError(kOutOfMemory);
  return files->converted ? 0 : 1;
}

int convert(const char* commandLineTail, ConverterRun* run, RunFiles* files) {
  run->tail = pathFromTail(commandLineTail);
  switch (openInput(run, &files->in)) {
    case Opened::no: showError(kReadFileError); return 1;
    case Opened::outOfMemory: return outOfMemory(files);
    case Opened::yes: files->inputOpen = true; break;
  }
  XyzListShape shape;
  int64_t checkResult = validateXyzList(&files->in, &shape);
  if (files->in.failed) {
    // The data did not read to its end (or could not be read again): nothing to convert.
    closeInput(files);
    showError(kReadFileError);
    return 1;
  }
  if (checkResult <= 0) {
    closeInput(files);
    showCheckFailure(checkResult);
    return 1;
  }

  switch (openOutput(run, &files->output)) {
    case Opened::no:
      closeInput(files);
      showError(kSaveFileError);
      return 1;
    case Opened::outOfMemory: return outOfMemory(files);
    case Opened::yes: break;
  }
  TextOutput out;
  if (!textOutputBegin(&out, drainToOutputFile, files->output)) return outOfMemory(files);
  FoldResult result = foldXyzList(&files->in, shape.pointCapacity, &out);
  bool written = textOutputEnd(&out);
  bool readFailed = files->in.failed;
  closeInput(files);
  if (result == FoldResult::outOfMemory) return outOfMemory(files);
  if (readFailed || !written) {
    discardOutput(files);
    showError(readFailed ? kReadFileError : kSaveFileError);
    return 1;
  }
  // Flushing, closing or moving the file into place can still fail (a full disk, for one).
  OutputFile* file = files->output;
  files->output = nullptr;  // the commit releases it either way
  std::string error;
  if (!outputFileCommit(file, &error)) {
    if (errno == ENOMEM) return outOfMemory(files);
    showError(kSaveFileError);
    return 1;
  }
  files->converted = true;

  if (!run->tail.empty()) startViewer(*run);
  return 0;
}

}  // namespace

int runConverter(const char* commandLineTail) {
  ConverterRun run{};
  RunFiles files{};
  // The run's strings report exhaustion with std::bad_alloc; it ends here, in the memory path.
  try {
    return convert(commandLineTail, &run, &files);
  } catch (const std::bad_alloc&) {
    return outOfMemory(&files);
  }
}
