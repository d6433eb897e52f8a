// One run of gridfold: input from the command line or an open dialog, the check, the output
// named automatically or chosen in a save dialog, the conversion, and after a command-line run
// the start of the viewer. Every failure is a message box captioned "Error".
#pragma once

#include <cstdint>
#include <string>

#include "common/text_input.h"
#include "platform/output_file.h"

// The state of one run; a process makes one run, so the candidate counter starts at 0 in every
// process.
struct ConverterRun {
  std::string tail;        // input path from the command line; empty selects the dialog run
  std::string inputPath;   // the tail, or the open dialog's choice
  std::string outputPath;  // the automatic name, or the save dialog's choice
  std::string viewerPath;  // the tail's directory part and "plotvane.exe" (automatic naming)
  uint16_t candidateCounter;
};

// The run for a command-line tail (the text after the program name); returns the exit status:
// 0 after a conversion (even when the viewer did not start), 1 otherwise.
int runConverter(const char* commandLineTail);

// Shows the open (open = true) or save dialog for CSV files on *path. False when cancelled or failed.
bool chooseCsvFile(std::string* path, bool open);

// How a step of the run, or the run, ended: done, refused after its own message (where it has
// one), or out of memory after the memory message.
enum class StepEnd { done, refused, outOfMemory };

// Opens the input for reading: the tail, else the open dialog's choice. Its messages:
// "ファイルが選択されませんでした", "読込ファイルエラー" or the memory message.
StepEnd openInputFile(ConverterRun* run, TextInput* in);

// Creates the output in *file: the automatic name for a command-line run, else the save dialog's
// choice. Its messages: those of makeAutoOutputName, "ファイルが選択されませんでした",
// "保存ファイルエラー" or the memory message.
StepEnd openOutputFile(ConverterRun* run, OutputFile** file);

// Names the output TMPn.csv in the tail's directory with the first candidate n that cannot be
// opened for reading, and the viewer "plotvane.exe" in the same directory. False after its
// message when no name was found.
bool makeAutoOutputName(ConverterRun* run);

// Starts the viewer on outputPath: the plotvane.exe beside the running program first, then by its
// bare name, then viewerPath; shows a message naming viewerPath when all fail. Does not wait for
// it.
void startViewer(const ConverterRun& run);
