// Names the viewer derives from paths.
#pragma once

#include <string>

// The file-name part of a path: the text after its last backslash, or the whole path.
std::string fileNamePart(const std::string& path);
// The save dialog's initial name: the file-name part with its last extension replaced by ".dxf".
std::string outputName(const std::string& path);
