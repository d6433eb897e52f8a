#include "converter/converter_run.h"

#include <new>

#include "common/command_line.h"
#include "common/extended_precision.h"
#include "common/numbers.h"
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
  // Our own installation first: Windows' search for a bare name never looks beside gridfold.exe
  // (Explorer starts a program that a list is dropped on in another folder).
  std::string folder = programFolder();
  if (!folder.empty() &&
      shellStart((folder + kViewerName).c_str(), run.outputPath.c_str(), ShellStart::sibling) >= kShellStarted)
    return;
  if (shellStart(kViewerName, run.outputPath.c_str()) >= kShellStarted) return;
  if (shellStart(run.viewerPath.c_str(), run.outputPath.c_str()) >= kShellStarted) return;
  showError((kViewerNotFoundBeforePath + run.viewerPath + ")").c_str());
}

namespace {

// What a run holds, so that a stop can release it wherever the run ends.
struct RunFiles {
  TextInput in;
  bool inputOpen;
  XyzGrid grid;        // the list's points in grid order, once read
  OutputFile* output;  // until committed or discarded
  bool converted;      // the grid file is in place
};

void closeFiles(RunFiles* files) {
  if (files->inputOpen) textInputClose(&files->in);
  files->inputOpen = false;
  releaseXyzGrid(&files->grid);
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

// A run that stops with one message of its own.
StepEnd stopWith(RunFiles* files, const std::string& message) {
  stopRun(files, StepEnd::refused, nullptr);
  showError(message.c_str());
  return StepEnd::refused;
}

StepEnd checkInput(RunFiles* files, XyzListShape* shape) {
  int64_t result = validateXyzList(&files->in, shape);
  // The data did not read to its end (or could not be read again): nothing to convert.
  if (shape->readError != 0) return stopRun(files, StepEnd::refused, kReadFileError);
  if (result > 0) return StepEnd::done;
  return stopWith(files, std::to_string(badLineNumber(result)) + kBadLineAfterNumber);
}

std::string fixedText(double value) {
  char text[kFixedTextMax];
  return std::string(text, formatFixed6(value, text));
}

// The first row that is not the first row's X values once each, by its Y.
std::string notGridMessage(const GridMismatch& m) {
  std::string y = fixedText(m.rowY);
  switch (m.kind) {
    case GridMismatch::repeatedX: return fillIn(kNotGridRepeatedX, {y, fixedText(m.x)});
    case GridMismatch::pointCount:
      return fillIn(kNotGridPointCount, {y, std::to_string(m.rowPoints), std::to_string(m.firstRowPoints)});
    default: return fillIn(kNotGridOtherX, {y, fixedText(m.x), fixedText(m.firstRowX)});
  }
}

// Scan and sort the checked list and see that it is a grid: before any output exists, so that a
// list that is not one asks for no file and leaves none.
StepEnd readGrid(RunFiles* files, const XyzListShape& shape) {
  GridLoad load = loadXyzGrid(&files->in, shape, &files->grid);
  textInputClose(&files->in);
  files->inputOpen = false;
  switch (load.end) {
    case GridLoad::done: return StepEnd::done;
    case GridLoad::readFailed: return stopRun(files, StepEnd::refused, kReadFileError);
    case GridLoad::notGrid: return stopWith(files, notGridMessage(load.mismatch));
    case GridLoad::outOfMemory: break;
  }
  stopRun(files, StepEnd::outOfMemory, nullptr);
  showError(kOutOfMemoryText);
  return StepEnd::outOfMemory;
}

// Write the grid file and move it into place.
StepEnd writeGrid(RunFiles* files) {
  OutputFile* file = files->output;
  files->output = nullptr;  // writing commits or discards the file
  IoResult written = writeGridIntoFile(files->grid, file);
  releaseXyzGrid(&files->grid);
  if (written.kind == IoResult::ok) {
    files->converted = true;
    return StepEnd::done;
  }
  if (written.kind == IoResult::failed) return stopRun(files, StepEnd::refused, kSaveFileError);
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
  if ((end = readGrid(files, shape)) != StepEnd::done) return end;
  if ((end = openOutputFile(run, &files->output)) != StepEnd::done) return stopRun(files, end, kSaveFileError);
  if ((end = writeGrid(files)) != StepEnd::done) return end;
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
