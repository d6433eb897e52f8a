// Helpers the batch tool's subcommands share.
#pragma once

#include <string>

#include "viewer/point_table.h"

// Prints "plotvane-cli: message (try --help)" and returns exit status 1.
int cliUsageError(const std::string& message);
// The part of path after its last "/" or "\".
std::string cliFileNamePart(const std::string& path);
// name in the folder of path.
std::string cliSiblingPath(const std::string& path, const std::string& name);
// Reads path as a two-row file or a grid file; on failure prints one line naming the file and
// the reason and returns false.
bool cliReadTable(const char* path, bool twoRow, PointTable* table, Extents* extents);
