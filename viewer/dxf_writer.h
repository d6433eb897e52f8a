// The DXF document: one ENTITIES section, every entity on the layer "plotvane".
#pragma once

#include "common/io_result.h"
#include "common/text_output.h"
#include "platform/output_file.h"
#include "viewer/point_table.h"

// The checked states of the radio buttons 2D (109), Line (111), Mesh (112), Face (113).
struct DxfMethod {
  bool twoD, line, mesh, face;
};

// Writes the whole document: the first checked method's entities inside the section frame.
void writeDxfDocument(TextOutput* out, const PointTable& table, DxfMethod method);

// The entity writers.
void writeProfilePolyline(TextOutput* out, const PointTable& table);
void writeGridLines(TextOutput* out, const PointTable& table);
void writeGridMesh(TextOutput* out, const PointTable& table);
void writeGridFaces(TextOutput* out, const PointTable& table);

// Writes the document to path through a temporary file that replaces path only when complete.
// outOfMemory is the caller's memory path; failed carries the system's error code. What the save
// left beside path goes into *left when given.
IoResult saveDxfFile(const char* path, const PointTable& table, DxfMethod method, LeftBeside* left = nullptr);
