// gridfold's conversion of one million shuffled points (about 32 MB of text), whole: check,
// scan, sort and write to a file. Beside it, the same conversion done the plain stdio way
// (getc, strtod, qsort, fprintf) on the same file, and the peak memory of one conversion.
//
//   bench_convert_bench                      both timings, their ratio, bytes per point
//   bench_convert_bench --fold IN OUT        one conversion; prints its peak resident KiB
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/text_input.h"
#include "common/text_output.h"
#include "converter/xyz_list.h"
#include "platform/input_file.h"
#include "platform/output_file.h"

namespace {

constexpr int kGridColumns = 1000;
constexpr int kGridRows = 1000;
constexpr int64_t kPoints = int64_t{kGridColumns} * kGridRows;

std::string gInputPath;
std::string gOutputPath;
std::string gStdioOutputPath;
std::string gSmallInputPath;
// <chrono> cannot be used: its texts do not survive the CP932 execution character set.
double secondsOf(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Wall time includes waiting for the disk (our commit flushes the file); processor time does not.
struct Timing {
  double wallSeconds, cpuSeconds;
  int64_t runs;
};
Timing gOurs{}, gStdio{};

template <typename Conversion>
void timeConversion(benchmark::State& state, Timing* timing, Conversion convert) {
  for (auto _ : state) {
    double wall = secondsOf(CLOCK_MONOTONIC), cpu = secondsOf(CLOCK_PROCESS_CPUTIME_ID);
    if (!convert()) state.SkipWithError("conversion failed");
    timing->wallSeconds += secondsOf(CLOCK_MONOTONIC) - wall;
    timing->cpuSeconds += secondsOf(CLOCK_PROCESS_CPUTIME_ID) - cpu;
    ++timing->runs;
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(gInputPath)));
}

// The grid's X and Y values have six decimals; Z values are random with a sign.
void writeInput(const std::string& path, int columns, int rows) {
  std::mt19937_64 random(20240607);
  std::uniform_int_distribution<int> z(-999999999, 999999999);
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(columns) * rows);
  char line[96];
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      std::snprintf(line, sizeof line, "%.6f,%.6f,%.6f\n", 100.0 + i * 0.123457, 200.0 + j * 0.234567,
                    z(random) / 1e6);
      lines.emplace_back(line);
    }
  }
  std::shuffle(lines.begin(), lines.end(), random);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  for (const std::string& l : lines) std::fwrite(l.data(), 1, l.size(), file);
  std::fclose(file);
}

// Our conversion, as plotvane-cli fold does it.
bool foldFile(const char* inputPath, const char* outputPath) {
  TextInput in;
  if (inputFileOpen(&in, inputPath).kind != IoResult::ok) return false;
  XyzListShape shape;
  if (validateXyzList(&in, &shape) <= 0) {
    textInputClose(&in);
    return false;
  }
  IoResult created;
  OutputFile* file = outputFileCreate(outputPath, &created);
  if (!file) {
    textInputClose(&in);
    return false;
  }
  TextOutput out;
  if (!textOutputBegin(&out, drainToOutputFile, file)) {
    outputFileDiscard(file);
    textInputClose(&in);
    return false;
  }
  GridLoad result = foldXyzList(&in, shape, &out);
  textOutputEnd(&out);
  textInputClose(&in);
  if (result.end != GridLoad::done) {
    outputFileDiscard(file);
    return false;
  }
  return outputFileCommit(file).kind == IoResult::ok;
}

// --- the plain stdio way ----------------------------------------------------------------------
struct StdioPoint {
  double x, y, z;
};

int compareStdioPoints(const void* left, const void* right) {
  const StdioPoint* a = static_cast<const StdioPoint*>(left);
  const StdioPoint* b = static_cast<const StdioPoint*>(right);
  long double d = static_cast<long double>(a->y) - b->y;
  if (d == 0) d = static_cast<long double>(a->x) - b->x;
  if (d == 0) d = static_cast<long double>(a->z) - b->z;
  return d < 0 ? -1 : d > 0 ? 1 : 0;
}

bool stdioFold(const char* inputPath, const char* outputPath) {
  std::FILE* in = std::fopen(inputPath, "r");
  if (!in) return false;
  long lines = 0, commas = 0;
  int c;
  while ((c = std::getc(in)) != EOF) {
    if (c == ',') {
      ++commas;
    } else if (c == '\n') {
      if (commas != 2) {
        std::fclose(in);
        return false;
      }
      ++lines;
      commas = 0;
    }
  }
  std::rewind(in);
  std::FILE* out = std::fopen(outputPath, "w");
  StdioPoint* points = static_cast<StdioPoint*>(std::calloc(3 * static_cast<size_t>(lines), sizeof(StdioPoint)));
  char text[64];
  int length = 0;
  long n = 0;
  while ((c = std::getc(in)) != EOF) {
    if (c == ',' || c == '\n') {
      text[length] = '\0';
      double value = std::strtod(text, nullptr);
      double* fields = &points[n / 3].x;
      fields[n % 3] = value;
      ++n;
      length = 0;
    } else if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
      if (length < 63) text[length++] = static_cast<char>(c);
    }
  }
  long count = n / 3;
  std::qsort(points, static_cast<size_t>(count), sizeof(StdioPoint), compareStdioPoints);
  std::fputs("XYZ", out);
  for (long i = 0; i < count && points[i].y == points[0].y; ++i) std::fprintf(out, ",%f", points[i].x);
  double rowY = 0;
  for (long i = 0; i < count; ++i) {
    if (i == 0 || points[i].y != rowY) {
      std::fprintf(out, "\n%f", points[i].y);
      rowY = points[i].y;
    }
    std::fprintf(out, ",%f", points[i].z);
  }
  std::fclose(out);
  std::fclose(in);
  std::free(points);
  return true;
}

// --- benchmarks -------------------------------------------------------------------------------
void BM_GridfoldConversion(benchmark::State& state) {
  timeConversion(state, &gOurs, [] { return foldFile(gInputPath.c_str(), gOutputPath.c_str()); });
}
BENCHMARK(BM_GridfoldConversion)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_StdioConversion(benchmark::State& state) {
  timeConversion(state, &gStdio, [] { return stdioFold(gInputPath.c_str(), gStdioOutputPath.c_str()); });
}
BENCHMARK(BM_StdioConversion)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The high-water mark of this process's resident memory, in KiB (0 when unknown). Unlike the
// rusage maximum it starts afresh at exec, so a child's figure is its own.
long peakResidentKiB() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status))
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  std::fclose(status);
  return kib;
}

// Peak resident memory (KiB) of a fresh process of this program doing one conversion.
long measuredPeakKiB(const std::string& input, const std::string& output) {
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string command = "'" + self + "' --fold '" + input + "' '" + output + "'";
  std::FILE* child = popen(command.c_str(), "r");
  if (!child) return -1;
  long kib = -1;
  if (std::fscanf(child, "%ld", &kib) != 1) kib = -1;
  return pclose(child) == 0 ? kib : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--fold") == 0) {
    if (!foldFile(argv[2], argv[3])) return 1;
    std::printf("%ld\n", peakResidentKiB());
    return 0;
  }

  std::filesystem::path folder = std::filesystem::temp_directory_path() / ("convert_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  gInputPath = (folder / "points.xyz").string();
  gSmallInputPath = (folder / "small.xyz").string();
  gOutputPath = (folder / "ours.csv").string();
  gStdioOutputPath = (folder / "stdio.csv").string();
  writeInput(gInputPath, kGridColumns, kGridRows);
  writeInput(gSmallInputPath, 3, 3);

  // Memory first, from fresh processes: the large conversion less a nine-point one.
  long largeKiB = measuredPeakKiB(gInputPath, gOutputPath);
  long smallKiB = measuredPeakKiB(gSmallInputPath, (folder / "small.csv").string());

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\ninput: %lld points, %llu bytes\n", static_cast<long long>(kPoints),
              static_cast<unsigned long long>(std::filesystem::file_size(gInputPath)));
  if (gOurs.runs > 0 && gStdio.runs > 0) {
    auto rate = [](double seconds, int64_t runs) { return static_cast<double>(kPoints) * runs / seconds; };
    double oursWall = rate(gOurs.wallSeconds, gOurs.runs), stdioWall = rate(gStdio.wallSeconds, gStdio.runs);
    double oursCpu = rate(gOurs.cpuSeconds, gOurs.runs), stdioCpu = rate(gStdio.cpuSeconds, gStdio.runs);
    std::printf("wall time:      gridfold %.3g points/s, stdio %.3g points/s, ratio %.2f x (target: 4 x)\n", oursWall,
                stdioWall, oursWall / stdioWall);
    std::printf("processor time: gridfold %.3g points/s, stdio %.3g points/s, ratio %.2f x\n", oursCpu, stdioCpu,
                oursCpu / stdioCpu);
  }
  if (largeKiB > 0 && smallKiB > 0) {
    std::printf("peak memory: %ld KiB for %lld points, %ld KiB for 9; %.1f bytes per point (target: 48)\n",
                largeKiB, static_cast<long long>(kPoints), smallKiB,
                (largeKiB - smallKiB) * 1024.0 / static_cast<double>(kPoints));
  }
  std::filesystem::remove_all(folder);
  return 0;
}
