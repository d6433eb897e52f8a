#include "converter/converter_run.h"

#include <new>

#include "common/command_line.h"
#include "common/extended_precision.h"
#include "common/path_text.h"
#include "common/program_texts.h"
#include "converter/xyz_list.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/input_file.h"

namespace {

const char kViewerName[] = "plotvane.exe";

constexpr int kNameTries = 65535;
constexpr long long kShellStarted = 32;  // shell results below it are failures

void showError(const char* text) { messageBox(nullptr, text, kErrorCaption, MessageButtons::ok); }

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
StepEnd openFailed(IoResult result, const char* message) {
  bool outOfMemory = result.kind == IoResult::outOfMemory;
  showError(outOfMemory ? kOutOfMemoryText : message);
  return outOfMemory ? StepEnd::outOfMemory : StepEnd::refused;
}

}  // namespace

bool chooseCsvFile(std::string* path, bool open) { return chooseFile(open ? kCsvOpenDialog : kCsvSaveDialog, path); }

StepEnd openInputFile(ConverterRun* run, TextInput* in) {
  if (!run->tail.empty()) {
    run->inputPath = run->tail;
  } else if (!chooseCsvFile(&run->inputPath, true)) {
    showError(kNoFileChosen);
    return StepEnd::refused;
  }
  IoResult opened = inputFileOpen(in, run->inputPath.c_str());
  return opened.kind == IoResult::ok ? StepEnd::done : openFailed(opened, kReadFileError);
}

bool makeAutoOutputName(ConverterRun* run) {
  std::string directory = folderPart(run->tail, directorySeparators());
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

StepEnd openOutputFile(ConverterRun* run, OutputFile** file) {
  if (!run->tail.empty()) {
    if (!makeAutoOutputName(run)) return StepEnd::refused;
  } else if (!chooseCsvFile(&run->outputPath, false)) {
    showError(kNoFileChosen);
    return StepEnd::refused;
  }
  IoResult created;
  *file = outputFileCreate(run->outputPath.c_str(), &created);
  return *file ? StepEnd::done : openFailed(created, kSaveFileError);
}

void startViewer(const ConverterRun& run) {
  if (shellStart(kViewerName, run.outputPath.c_str()) >= kShellStarted) return;
  if (shellStart(run.viewerPath.c_str(), run.outputPath.c_str()) >= kShellStarted) return;
  showError((kViewerNotFoundBeforePath + run.viewerPath + ")").c_str());
}

namespace {

// What a run holds, so that a stop can release it wherever the run ends.
struct RunFiles {
  TextInput in;
  bool inputOpen;
  OutputFile* output;  // until committed or discarded
  bool converted;      // the grid file is in place
};

void closeFiles(RunFiles* files) {
  if (files->inputOpen) textInputClose(&files->in);
  files->inputOpen = false;
  if (files->output) outputFileDiscard(files->output);
  files->output = nullptr;
}

// A run that stops: nothing left open or half written, then the message that names the failing
// side. A refused input or output step has shown its own box already; the run's general one
// follows it, as it always has: the first says why, the second which side of the conversion
// failed. Memory exhaustion has said all with its one message.
StepEnd stopRun(RunFiles* files, StepEnd end, const char* failingSide) {
  closeFiles(files);
  if (end == StepEnd::refused && failingSide) showError(failingSide);
  return end;
}

StepEnd checkInput(RunFiles* files, XyzListShape* shape) {
  int64_t result = validateXyzList(&files->in, shape);
  // The data did not read to its end (or could not be read again): nothing to convert.
  if (shape->readError != 0) return stopRun(files, StepEnd::refused, kReadFileError);
  if (result > 0) return StepEnd::done;
  stopRun(files, StepEnd::refused, nullptr);
  showError((std::to_string(badLineNumber(result)) + kBadLineAfterNumber).c_str());
  return StepEnd::refused;
}

// Scan, sort and write the grid file and move it into place.
StepEnd writeGrid(RunFiles* files, const XyzListShape& shape) {
  OutputFile* file = files->output;
  files->output = nullptr;  // folding closes the input and commits or discards the file
  files->inputOpen = false;
  FoldFileResult folded = foldIntoFile(&files->in, shape, file);
  switch (folded.end) {
    case FoldFileResult::done: files->converted = true; return StepEnd::done;
    case FoldFileResult::readFailed: return stopRun(files, StepEnd::refused, kReadFileError);
    case FoldFileResult::writeFailed: return stopRun(files, StepEnd::refused, kSaveFileError);
    case FoldFileResult::outOfMemory: break;
  }
  showError(kOutOfMemoryText);
  return StepEnd::outOfMemory;
}

StepEnd convert(const char* commandLineTail, ConverterRun* run, RunFiles* files) {
  run->tail = pathFromTail(commandLineTail);
  StepEnd end = openInputFile(run, &files->in);
  if (end != StepEnd::done) return stopRun(files, end, kReadFileError);
  files->inputOpen = true;
  XyzListShape shape;
  if ((end = checkInput(files, &shape)) != StepEnd::done) return end;
  if ((end = openOutputFile(run, &files->output)) != StepEnd::done) return stopRun(files, end, kSaveFileError);
  if ((end = writeGrid(files, shape)) != StepEnd::done) return end;
  if (!run->tail.empty()) startViewer(*run);
  return StepEnd::done;
}

}  // namespace

int runConverter(const char* commandLineTail) {
  useExtendedPrecision();
  ConverterRun run{};
  RunFiles files{};
  StepEnd end;
  // The run's strings report exhaustion with std::bad_alloc; it ends here, in the memory path:
  // one message, nothing left behind but a grid file already in place, and no viewer.
  try {
    end = convert(commandLineTail, &run, &files);
  } catch (const std::bad_alloc&) {
    closeFiles(&files);
    showError(kOutOfMemoryText);
    end = StepEnd::outOfMemory;
  }
  // 0 once the grid file is in place, even when the viewer did not start or memory ran out after.
  return end == StepEnd::done || files.converted ? 0 : 1;
}
