// Helpers the batch tool's subcommands share.
#pragma once

#include <cstddef>
#include <string>

#include "common/io_result.h"
#include "viewer/point_table.h"

// An option of a subcommand: "--name" alone (a switch that sets *on to setTo), or "--name VALUE"
// and "--name=VALUE" (value set: the text goes there).
struct CliOption {
  const char* name;
  const char** value;
  bool* on;
  bool setTo;
};

// Reads a subcommand's arguments: every one that starts with "--" is an option of the table, the
// others fill positionals[0 .. maxPositionals) in order. False after printing the usage error.
bool cliReadArguments(int argc, char** argv, const CliOption* options, size_t optionCount,
                      const char** positionals, int maxPositionals);

// Prints "plotvane-cli: message" and a line end on the error stream.
void cliError(const std::string& message);
// Prints "plotvane-cli: cannot VERB PATH: the system's message" and returns exit status 1.
int cliFileError(const char* verb, const std::string& path, int error);
// The same for a file operation that failed or ran out of memory.
int cliFileError(const char* verb, const std::string& path, IoResult result);
// Prints "plotvane-cli: message (try --help)" and returns exit status 1.
int cliUsageError(const std::string& message);
// Reads path as a two-row file or a grid file; on failure prints one line naming the file and
// the reason and returns false.
bool cliReadTable(const char* path, bool twoRow, PointTable* table, Extents* extents);
