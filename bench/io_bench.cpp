// Reading a 1000 x 1000 grid file and writing its Face, Mesh and Line documents, against a
// reference that copies the same number of bytes from memory to a file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "common/numbers.h"
#include "common/text_output.h"
#include "platform/input_file.h"
#include "viewer/dxf_writer.h"
#include "viewer/point_table.h"

namespace {

constexpr int kNodes = 1000;

const std::string& gridPath() {
  static std::string path = [] {
    std::string p = "/tmp/plotvane_bench_grid.csv";
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> z(-500.0, 1500.0);
    std::string text = "XYZ";
    char number[kFixedTextMax];
    for (int i = 0; i < kNodes; ++i) text += "," + std::string(number, formatFixed6(1000.0 + i * 2.5, number));
    for (int j = 0; j < kNodes; ++j) {
      text += "\r\n" + std::string(number, formatFixed6(-200.0 + j * 1.25, number));
      for (int i = 0; i < kNodes; ++i) text += "," + std::string(number, formatFixed6(z(rng), number));
    }
    FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return p;
  }();
  return path;
}

struct Grid {
  PointTable table{};
  Extents extents{};
  long long fileBytes = 0;
  Grid() {
    TextInput in;
    inputFileOpen(&in, gridPath().c_str());
    readGridFile(&in, &table, &extents);
    textInputClose(&in);
    FILE* f = std::fopen(gridPath().c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    fileBytes = std::ftell(f);
    std::fclose(f);
  }
};

Grid& grid() {
  static Grid g;
  return g;
}

void BM_ReadGridFile(benchmark::State& state) {
  Grid& g = grid();
  for (auto _ : state) {
    PointTable table{};
    Extents extents{};
    TextInput in;
    inputFileOpen(&in, gridPath().c_str());
    readGridFile(&in, &table, &extents);
    textInputClose(&in);
    benchmark::DoNotOptimize(extents);
    releaseTable(&table);
  }
  state.SetBytesProcessed(state.iterations() * g.fileBytes);
  state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kNodes * kNodes, benchmark::Counter::kIsRate);
}

bool drainToFd(void* context, const char* data, size_t size) {
  return write(*static_cast<int*>(context), data, size) == static_cast<ssize_t>(size);
}

// tmpfs where there is one, so that the disk does not decide the figures.
const char* const kOutPath = access("/dev/shm", W_OK) == 0 ? "/dev/shm/plotvane_bench_out.dxf" : "/tmp/plotvane_bench_out.dxf";

std::string documentOf(DxfMethod method) {
  std::string text;
  TextOutput out;
  textOutputBegin(&out, drainToString, &text);
  writeDxfDocument(&out, grid().table, method);
  textOutputEnd(&out);
  return text;
}

void writeBench(benchmark::State& state, DxfMethod method) {
  Grid& g = grid();
  long long bytes = static_cast<long long>(documentOf(method).size());
  for (auto _ : state) {
    int fd = open(kOutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    TextOutput out;
    textOutputBegin(&out, drainToFd, &fd);
    writeDxfDocument(&out, g.table, method);
    textOutputEnd(&out);
    close(fd);
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kNodes * kNodes, benchmark::Counter::kIsRate);
}

// The same number of bytes as the document, copied from memory to the file in the same blocks.
void copyBench(benchmark::State& state, DxfMethod method) {
  std::string text = documentOf(method);
  for (auto _ : state) {
    int fd = open(kOutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (size_t at = 0; at < text.size(); at += 1 << 18) {
      size_t n = text.size() - at < (1u << 18) ? text.size() - at : (1u << 18);
      benchmark::DoNotOptimize(write(fd, text.data() + at, n));
    }
    close(fd);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(text.size()));
}

void BM_WriteFaces(benchmark::State& s) { writeBench(s, DxfMethod{false, false, false, true}); }
void BM_CopyFacesBytes(benchmark::State& s) { copyBench(s, DxfMethod{false, false, false, true}); }
void BM_WriteMesh(benchmark::State& s) { writeBench(s, DxfMethod{false, false, true, false}); }
void BM_CopyMeshBytes(benchmark::State& s) { copyBench(s, DxfMethod{false, false, true, false}); }
void BM_WriteLines(benchmark::State& s) { writeBench(s, DxfMethod{false, true, false, false}); }
void BM_CopyLinesBytes(benchmark::State& s) { copyBench(s, DxfMethod{false, true, false, false}); }

// The whole save as the programs do it: temporary file, checked writes, flush to disk, rename.
void BM_SaveFacesFile(benchmark::State& state) {
  for (auto _ : state) saveDxfFile(kOutPath, grid().table, DxfMethod{false, false, false, true});
}

}  // namespace

BENCHMARK(BM_ReadGridFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteFaces)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFacesBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteMesh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyMeshBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteLines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyLinesBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveFacesFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

BENCHMARK_MAIN();
