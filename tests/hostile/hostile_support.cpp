#include "tests/hostile/hostile_support.h"

#include <cmath>
#include <cstdio>

namespace hostile {

std::string inputFile(const char* name) {
  std::string path = std::string(PV_TEST_DATA_DIR) + "/hostile/" + name;
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    ADD_FAILURE() << "cannot open " << path;
    return bytes;
  }
  char block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, f)) > 0;) bytes.append(block, got);
  std::fclose(f);
  return bytes;
}

void loadBytes(Loaded* l, const void* data, size_t size, bool grid) {
  TextInput in;
  ASSERT_TRUE(textInputOpenMemory(&in, data, size));
  l->result = grid ? readGridFile(&in, &l->table, &l->extents) : readTwoRowFile(&in, &l->table, &l->extents);
  textInputClose(&in);
}

std::string show(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-NaN" : "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "+INF";
  if (value == 0) return std::signbit(value) ? "-0" : "0";
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string showRow(const double* cells, int count) {
  std::string text;
  for (int k = 0; k < count; ++k) text += (k ? " " : "") + show(cells[k]);
  return text;
}

std::string showExtents(const Extents& e) {
  return show(e.xMin) + " " + show(e.xMax) + " " + show(e.yMin) + " " + show(e.yMax);
}




namespace {

struct Reference {
  std::string text;
  void group(const char* code, const std::string& value) { text += std::string(code) + "\r\n" + value + "\r\n"; }
  void real(const char* code, double value) {
    if (std::isinf(value) || std::isnan(value)) {
      group(code, std::string(std::signbit(value) ? "-" : "+") + (std::isinf(value) ? "INF" : "NAN"));
      return;
    }
    std::vector<char> digits(400);
    std::snprintf(digits.data(), digits.size(), "%f", value);
    group(code, digits.data());
  }
  void polyline(const char* flag) {
    group("  0", "POLYLINE");
    group("  8", "plotvane");
    group(" 66", "1");
    group(" 70", flag);
  }
  void node(const PointTable& t, int i, int j, const char* x, const char* y, const char* z) {
    real(x, t.rows[0][i]);
    real(y, t.rows[j][0]);
    real(z, t.rows[j][i]);
  }
  void vertex(const PointTable& t, int i, int j) {
    group("  0", "VERTEX");
    node(t, i, j, " 10", " 20", " 30");
  }
};

}  // namespace

std::string referenceDocument(const PointTable& t, DxfMethod method) {
  Reference r;
  r.group("  0", "SECTION");
  r.group("  2", "ENTITIES");
  const int L = t.lastColumnIndex, R = t.lastRowIndex;
  if (!t.rows) {
    // An empty table has nothing to write.
  } else if (method.twoD) {
    r.polyline("0");
    for (int k = 0; k <= L; ++k) {
      r.group("  0", "VERTEX");
      r.real(" 10", t.rows[0][k]);
      r.real(" 20", t.rows[1][k]);
    }
    r.group("  0", "SEQEND");
  } else if (method.line) {
    for (int i = 1; i <= L; ++i) {
      r.polyline("8");
      for (int j = 1; j <= R; ++j) r.vertex(t, i, j);
      r.group("  0", "SEQEND");
    }
    for (int j = 1; j <= R; ++j) {
      r.polyline("8");
      for (int i = 1; i <= L; ++i) r.vertex(t, i, j);
      r.group("  0", "SEQEND");
    }
  } else if (method.mesh) {
    for (int i = 1; i < L; ++i)
      for (int j = 1; j < R; ++j) {
        r.polyline("9");
        r.vertex(t, i, j);
        r.vertex(t, i + 1, j);
        r.vertex(t, i + 1, j + 1);
        r.vertex(t, i, j + 1);
        r.group("  0", "SEQEND");
      }
  } else if (method.face) {
    for (int i = 1; i < L; ++i)
      for (int j = 1; j < R; ++j) {
        r.group("  0", "3DFACE");
        r.group("  8", "plotvane");
        r.group(" 66", "1");
        r.group(" 70", "9");
        r.node(t, i, j, " 10", " 20", " 30");
        r.node(t, i + 1, j, " 11", " 21", " 31");
        r.node(t, i + 1, j + 1, " 12", " 22", " 32");
        r.node(t, i, j + 1, " 13", " 23", " 33");
        r.group("  0", "SEQEND");
      }
  }
  r.group("  0", "ENDSEC");
  r.group("  0", "EOF");
  return r.text;
}

bool drainToSummary(void* context, const char* data, size_t size) {
  DocumentSummary* s = static_cast<DocumentSummary*>(context);
  s->bytes += size;
  for (size_t k = 0; k < size; ++k) {
    if (data[k] == '\n') {
      ++s->lines;
      if (!s->previousWasCr) s->bareLineFeed = true;
    }
    s->previousWasCr = data[k] == '\r';
  }
  s->tail.append(data, size);
  if (s->tail.size() > 256) s->tail.erase(0, s->tail.size() - 256);
  return true;
}

DocumentSummary summarize(const PointTable& table, DxfMethod method) {
  DocumentSummary summary;
  TextOutput out;
  EXPECT_TRUE(textOutputBegin(&out, drainToSummary, &summary));
  writeDxfDocument(&out, table, method);
  EXPECT_TRUE(textOutputEnd(&out));
  return summary;
}

}  // namespace hostile
