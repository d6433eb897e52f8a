// The name the viewer proposes for a save.
#pragma once

#include <string>

// The save dialog's initial name: the file-name part of path with its last extension replaced by
// ".dxf".
std::string outputName(const std::string& path);
