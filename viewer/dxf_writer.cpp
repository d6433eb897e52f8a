#include "viewer/dxf_writer.h"

#include <cstdlib>
#include <cstring>

#include "common/memory.h"
#include "common/numbers.h"
#include "platform/output_file.h"

namespace {

// Group-code lines are right-aligned in three characters; every line ends with CR LF.
#define GROUP(code, value) code "\r\n" value "\r\n"

constexpr char kSectionStart[] = GROUP("  0", "SECTION") GROUP("  2", "ENTITIES");
constexpr char kSectionEnd[] = GROUP("  0", "ENDSEC") GROUP("  0", "EOF");
// POLYLINE header: layer, "vertices follow", then the group 70 flag.
constexpr char kPolyline2D[] = GROUP("  0", "POLYLINE") GROUP("  8", "plotvane") GROUP(" 66", "1") GROUP(" 70", "0");
constexpr char kPolylineOpen3D[] = GROUP("  0", "POLYLINE") GROUP("  8", "plotvane") GROUP(" 66", "1") GROUP(" 70", "8");
constexpr char kPolylineClosed3D[] = GROUP("  0", "POLYLINE") GROUP("  8", "plotvane") GROUP(" 66", "1") GROUP(" 70", "9");
// A face carries a Mesh polyline's framing, group 66 and its own SEQEND, as the documents have
// always been written: readers pass over both on a 3DFACE (the interoperability checks open every
// method's documents with three of them). 70: invisible first and fourth edge.
constexpr char kFace[] = GROUP("  0", "3DFACE") GROUP("  8", "plotvane") GROUP(" 66", "1") GROUP(" 70", "9");
constexpr char kSeqend[] = GROUP("  0", "SEQEND");
constexpr char kVertex[] = GROUP("  0", "VERTEX");

template <size_t N>
inline void put(TextOutput* out, const char (&text)[N]) {
  textOutputBytes(out, text, N - 1);
}

// Texts up to this size are copied with one fixed-size move: putValue copies kShortText bytes
// from where a short text starts and keeps only the text's own. Both ends have the room for it:
// the output's reserve takes the longest value, and a run's text keeps kShortText spare bytes
// after its last value (formatTexts).
constexpr size_t kShortText = 32;
// Every group-code line is three characters and CR LF.
constexpr size_t kCodeLine = 5;
constexpr size_t kValueReserve = kCodeLine + kFixedTextMax + 2;
static_assert(kShortText <= kFixedTextMax + 2, "a short text's copy stays inside the output's reserve");
static_assert(kValueReserve <= kTextOutputReserveMax, "one value fits one reserve");

// A run of values formatted once, each followed by CR LF, so that a value that several records
// share is converted only once. Without memory for the run, values are formatted where used. The
// buffers are kept for the next run of the same writer (every column has as many values). text
// always has kShortText bytes of room after its last value.
struct ValueTexts {
  char* text = nullptr;
  size_t* ends = nullptr;  // ends[k] is where value k's text (with its CR LF) ends
  size_t count = 0;
  size_t textCapacity = 0;
  size_t endsCapacity = 0;
};

void releaseTexts(ValueTexts* texts) {
  releaseBytes(texts->text);
  releaseBytes(texts->ends);
  *texts = ValueTexts{};
}

// Room for `size` text bytes, keeping what is there; false (the run released) without memory.
bool reserveText(ValueTexts* texts, size_t size) {
  if (size <= texts->textCapacity) return true;
  char* grown = static_cast<char*>(reallocateBytes(texts->text, size));
  if (!grown) {
    releaseTexts(texts);
    return false;
  }
  texts->text = grown;
  texts->textCapacity = size;
  return true;
}

template <typename ValueAt>
void formatTexts(ValueTexts* texts, size_t count, ValueAt valueAt) {
  texts->count = 0;
  if (count + 1 > texts->endsCapacity) {
    releaseBytes(texts->ends);
    texts->ends = static_cast<size_t*>(allocateBytes((count + 1) * sizeof(size_t)));
    texts->endsCapacity = texts->ends ? count + 1 : 0;
  }
  // Typical values need far less than the worst case; grow when a long one comes. The room before
  // each value keeps kShortText spare bytes after it.
  constexpr size_t kRoom = kFixedTextMax + 2 + kShortText;
  if (!texts->ends || !reserveText(texts, count * 24 + kRoom)) {
    releaseTexts(texts);
    return;
  }
  size_t used = 0;
  for (size_t k = 0; k < count; ++k) {
    if (texts->textCapacity - used < kRoom && !reserveText(texts, texts->textCapacity * 2)) return;
    used += formatFixed6(valueAt(k), texts->text + used);
    texts->text[used++] = '\r';
    texts->text[used++] = '\n';
    texts->ends[k] = used;
  }
  texts->count = count;
}

// Writes a group: its code line, then value k of texts (or value itself when texts is empty).
inline void putValue(TextOutput* out, const char* codeLine, const ValueTexts& texts, size_t k, double value) {
  char* const start = textOutputReserve(out, kValueReserve);
  char* at = start;
  std::memcpy(at, codeLine, kCodeLine);
  at += kCodeLine;
  if (texts.count) {
    size_t begin = k ? texts.ends[k - 1] : 0;
    size_t size = texts.ends[k] - begin;
    std::memcpy(at, texts.text + begin, size <= kShortText ? kShortText : size);
    at += size;
  } else {
    at += formatFixed6(value, at);
    *at++ = '\r';
    *at++ = '\n';
  }
  textOutputAdvance(out, static_cast<size_t>(at - start));
}

// The formatted X values (header cells 0 .. lastColumnIndex) and Y values (column 0 of rows 0 ..
// lastRowIndex) of a grid, shared by every writer.
struct GridTexts {
  ValueTexts x, y;
};

void formatGridAxes(GridTexts* g, const PointTable& t) {
  formatTexts(&g->x, static_cast<size_t>(t.lastColumnIndex) + 1, [&](size_t i) { return t.rows[0][i]; });
  formatTexts(&g->y, static_cast<size_t>(t.lastRowIndex) + 1, [&](size_t j) { return t.rows[j][0]; });
}

void releaseGridAxes(GridTexts* g) {
  releaseTexts(&g->x);
  releaseTexts(&g->y);
}

// The Z values of grid column i for rows 0 .. lastRowIndex.
void formatColumn(ValueTexts* texts, const PointTable& t, int32_t i) {
  formatTexts(texts, static_cast<size_t>(t.lastRowIndex) + 1, [&](size_t j) { return t.rows[j][i]; });
}

void swapTexts(ValueTexts* a, ValueTexts* b) {
  ValueTexts c = *a;
  *a = *b;
  *b = c;
}

// The code lines of a point's X, Y and Z: 10, 20, 30 for a vertex; a face's corners 10/20/30 to
// 13/23/33.
struct PointCodes {
  const char* x;
  const char* y;
  const char* z;
};
constexpr PointCodes kCornerCodes[4] = {{" 10\r\n", " 20\r\n", " 30\r\n"},
                                        {" 11\r\n", " 21\r\n", " 31\r\n"},
                                        {" 12\r\n", " 22\r\n", " 32\r\n"},
                                        {" 13\r\n", " 23\r\n", " 33\r\n"}};
constexpr const PointCodes& kVertexCodes = kCornerCodes[0];

// Node (i, j) of the grid: the X of column i, the Y of row j and their Z, whose text is value j of
// z when z is formatted.
void putNode(TextOutput* out, const PointCodes& codes, const GridTexts& g, const ValueTexts& z, const PointTable& t,
             int32_t i, int32_t j) {
  putValue(out, codes.x, g.x, static_cast<size_t>(i), t.rows[0][i]);
  putValue(out, codes.y, g.y, static_cast<size_t>(j), t.rows[j][0]);
  putValue(out, codes.z, z, static_cast<size_t>(j), t.rows[j][i]);
}

}  // namespace

void writeProfilePolyline(TextOutput* out, const PointTable& t) {
  if (!t.rows) return;  // an empty table (a file without any line) has no profile
  const ValueTexts none;
  put(out, kPolyline2D);
  for (int32_t k = 0; k <= t.lastColumnIndex; ++k) {
    put(out, kVertex);
    putValue(out, kVertexCodes.x, none, 0, t.rows[0][k]);
    putValue(out, kVertexCodes.y, none, 0, t.rows[1][k]);
  }
  put(out, kSeqend);
}

void writeGridLines(TextOutput* out, const PointTable& t) {
  if (!t.rows) return;
  const int32_t L = t.lastColumnIndex, R = t.lastRowIndex;
  GridTexts g;
  formatGridAxes(&g, t);
  // An open 3D polyline through nodes 1 .. count of a column or a row.
  auto polyline = [&](int32_t count, auto putNodeAt) {
    put(out, kPolylineOpen3D);
    for (int32_t k = 1; k <= count; ++k) {
      put(out, kVertex);
      putNodeAt(k);
    }
    put(out, kSeqend);
  };
  ValueTexts z;
  for (int32_t i = 1; i <= L; ++i) {  // column polylines
    formatColumn(&z, t, i);
    polyline(R, [&](int32_t j) { putNode(out, kVertexCodes, g, z, t, i, j); });
  }
  releaseTexts(&z);
  const ValueTexts none;
  for (int32_t j = 1; j <= R; ++j)  // row polylines
    polyline(L, [&](int32_t i) { putNode(out, kVertexCodes, g, none, t, i, j); });
  releaseGridAxes(&g);
}

namespace {

// Cells go column pair by column pair (i outer, j inner), so the Z texts of columns i and i + 1
// are all a pass needs.
template <typename WriteCell>
void forEachCell(const PointTable& t, WriteCell writeCell) {
  const int32_t L = t.lastColumnIndex, R = t.lastRowIndex;
  if (!t.rows || L < 2 || R < 2) return;
  GridTexts g;
  formatGridAxes(&g, t);
  ValueTexts left, right;
  formatColumn(&left, t, 1);
  for (int32_t i = 1; i < L; ++i) {
    formatColumn(&right, t, i + 1);
    // Both columns must be formatted for shared texts; otherwise format each value in place.
    bool shared = left.count && right.count;
    const ValueTexts none;
    for (int32_t j = 1; j < R; ++j) writeCell(i, j, g, shared ? left : none, shared ? right : none);
    swapTexts(&left, &right);
  }
  releaseTexts(&left);
  releaseTexts(&right);
  releaseGridAxes(&g);
}

}  // namespace

namespace {

// A cell's corners from node (i, j): (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1).
constexpr int32_t kCornerColumn[4] = {0, 1, 1, 0};
constexpr int32_t kCornerRow[4] = {0, 0, 1, 1};

}  // namespace

void writeGridMesh(TextOutput* out, const PointTable& t) {
  forEachCell(t, [&](int32_t i, int32_t j, const GridTexts& g, const ValueTexts& zi, const ValueTexts& zn) {
    put(out, kPolylineClosed3D);
    for (int c = 0; c < 4; ++c) {
      put(out, kVertex);
      putNode(out, kVertexCodes, g, kCornerColumn[c] ? zn : zi, t, i + kCornerColumn[c], j + kCornerRow[c]);
    }
    put(out, kSeqend);
  });
}

void writeGridFaces(TextOutput* out, const PointTable& t) {
  forEachCell(t, [&](int32_t i, int32_t j, const GridTexts& g, const ValueTexts& zi, const ValueTexts& zn) {
    put(out, kFace);
    for (int c = 0; c < 4; ++c)
      putNode(out, kCornerCodes[c], g, kCornerColumn[c] ? zn : zi, t, i + kCornerColumn[c], j + kCornerRow[c]);
    put(out, kSeqend);
  });
}

void writeDxfDocument(TextOutput* out, const PointTable& table, DxfMethod method) {
  put(out, kSectionStart);
  if (method.twoD)
    writeProfilePolyline(out, table);
  else if (method.line)
    writeGridLines(out, table);
  else if (method.mesh)
    writeGridMesh(out, table);
  else if (method.face)
    writeGridFaces(out, table);
  put(out, kSectionEnd);
}

IoResult saveDxfFile(const char* path, const PointTable& table, DxfMethod method, LeftBeside* left) {
  if (left) *left = LeftBeside{nullptr, nullptr, nullptr};
  IoResult result;
  OutputFile* file = outputFileCreate(path, &result);
  if (!file) return result;
  TextOutput out;
  if (!textOutputBegin(&out, drainToOutputFile, file)) {
    outputFileDiscard(file);
    return kIoOutOfMemory;
  }
  writeDxfDocument(&out, table, method);
  // A block that failed to drain has doomed the file: the commit then fails with its error.
  textOutputEnd(&out);
  return outputFileCommit(file, left);
}
