// Inputs of 2^31 and more commas or line ends: counts that no longer fit 32 bits. They must end
// in ReadResult::outOfMemory with an empty table (or be read whole where nothing overflows), never
// in a crash or a table too small for what is then stored in it.
//
// The bytes are gigabytes of one repeated byte. They are shown to the readers through one small
// memory chunk mapped again and again, so that they cost neither memory nor page faults; only
// their first and last pages are private.
#include <gtest/gtest.h>

#include "tests/hostile/hostile_support.h"

// Huge requests must come back empty under the sanitizers too, and a table the size of this
// machine's memory must not be built only to be touched page by page: one allocation stays below
// 1 GB here, as in the 32-bit programs.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=1024"; }

#if defined(__linux__)

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace hostile;

constexpr uint64_t k2To31 = uint64_t{1} << 31;
constexpr uint64_t k2To32 = uint64_t{1} << 32;

// total bytes: head, then the fill byte, then tail at the very end.
class RepeatedBytes {
 public:
  RepeatedBytes(const std::string& head, char fill, const std::string& tail, uint64_t total) : size_(total) {
    int fd = memfd_create("hostile-fill", 0);
    ok_ = fd >= 0 && build(fd, head, fill, tail);
    if (fd >= 0) close(fd);
  }
  ~RepeatedBytes() {
    if (base_) munmap(base_, mapped_);
  }
  bool ok() const { return ok_; }
  const unsigned char* data() const { return base_; }
  uint64_t size() const { return size_; }

 private:
  bool build(int fd, const std::string& head, char fill, const std::string& tail) {
    const uint64_t chunk = uint64_t{2} << 20;
    mapped_ = (size_ + chunk - 1) / chunk * chunk;
    void* base = mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return false;
    base_ = static_cast<unsigned char*>(base);
    if (ftruncate(fd, static_cast<off_t>(chunk)) != 0) return false;
    void* one = mmap(nullptr, chunk, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (one == MAP_FAILED) return false;
    std::memset(one, fill, chunk);
    munmap(one, chunk);
    for (uint64_t at = 0; at < mapped_; at += chunk)
      if (mmap(base_ + at, chunk, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0) == MAP_FAILED) return false;
    return putPrivate(0, head, fill) && putPrivate(size_ - tail.size(), tail, fill);
  }

  // Private pages over [at, at + text.size()), filled around the text.
  bool putPrivate(uint64_t at, const std::string& text, char fill) {
    if (text.empty()) return true;
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    uint64_t first = at / page * page;
    uint64_t last = (at + text.size() + page - 1) / page * page;
    void* p = mmap(base_ + first, last - first, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (p == MAP_FAILED) return false;
    std::memset(p, fill, last - first);
    std::memcpy(base_ + at, text.data(), text.size());
    return true;
  }

  unsigned char* base_ = nullptr;
  uint64_t mapped_ = 0;
  uint64_t size_ = 0;
  bool ok_ = false;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// Without the sanitizer, an address-space limit plays the part of the 32-bit programs' memory
// while the reader runs: 1.5 GB more than the test already uses. (The sanitizer reserves
// terabytes of address space; there the allocator's own limit above does it.)
class HostileHuge : public ::testing::Test {
 protected:
  static void read(Loaded* l, const RepeatedBytes& bytes, bool grid) {
    ASSERT_TRUE(bytes.ok());
    rlimit previous{};
    bool limited = false;
    if (!kAddressSanitizer) {
      getrlimit(RLIMIT_AS, &previous);
      unsigned long long pages = 0;
      FILE* statm = std::fopen("/proc/self/statm", "r");
      ASSERT_TRUE(statm);
      ASSERT_EQ(std::fscanf(statm, "%llu", &pages), 1);
      std::fclose(statm);
      rlimit cap = previous;
      cap.rlim_cur = pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)) + (uint64_t{3} << 29);
      if (previous.rlim_cur != RLIM_INFINITY && previous.rlim_cur < cap.rlim_cur) cap.rlim_cur = previous.rlim_cur;
      limited = setrlimit(RLIMIT_AS, &cap) == 0;
    }
    loadBytes(l, bytes.data(), static_cast<size_t>(bytes.size()), grid);
    if (limited) setrlimit(RLIMIT_AS, &previous);
  }

  static void expectEmpty(const Loaded& l) {
    EXPECT_EQ(l.result, ReadResult::outOfMemory);
    EXPECT_EQ(l.table.rows, nullptr);
    EXPECT_EQ(sizes(l.table), (Sizes{0, 0, 0, 0}));
    // The program ends on this result; the empty table is harmless all the same.
    EXPECT_EQ(describe(draw(true, l.table, l.extents)), kFrame);
    EXPECT_EQ(document(l.table, kFace), groups(kDocumentStart + kDocumentEnd));
  }
};

// A header of 2^31 + 10 commas is 2^31 + 11 columns, beyond a 32-bit count; 2^32 commas would
// be 1 column in 32 bits, a table far too small for the header it then holds.
TEST_F(HostileHuge, HeaderCommasBeyondThirtyTwoBits) {
  for (uint64_t commas : {k2To31 + 10, k2To32}) {
    SCOPED_TRACE(commas);
    RepeatedBytes bytes("", ',', "\n1,2\n", commas + 5);
    Loaded l;
    read(&l, bytes, true);
    expectEmpty(l);
  }
}

// 2^31 line ends after the header make rowCapacity 2^31 + 2; 2^32 - 1 make 2^32 + 1, which is
// 1 in 32 bits.
TEST_F(HostileHuge, LineEndsBeyondThirtyTwoBits) {
  for (uint64_t lineEnds : {k2To31, k2To32 - 1}) {
    SCOPED_TRACE(lineEnds);
    RepeatedBytes bytes("XYZ,1\n", '\n', "", 6 + lineEnds);
    Loaded l;
    read(&l, bytes, true);
    expectEmpty(l);
  }
}

// A two-row first line of 2^31 + 10 fields: the table grows until memory runs out (on a machine
// with memory for 2^31 columns, the count would end it), and nothing is left behind.
TEST_F(HostileHuge, TwoRowFirstLineOfTwoToThe31Fields) {
  RepeatedBytes bytes("", ',', "\n1\n", k2To31 + 10 + 3);
  Loaded l;
  read(&l, bytes, false);
  expectEmpty(l);
}

// A data line of 2^31 + 10 commas overflows nothing: a long line loses its extra fields.
TEST_F(HostileHuge, DataLineOfTwoToThe31Commas) {
  RepeatedBytes bytes("XYZ,1\n5", ',', "7\n", 7 + k2To31 + 10 + 2);
  Loaded l;
  read(&l, bytes, true);
  ASSERT_EQ(l.result, ReadResult::ok);
  EXPECT_EQ(sizes(l.table), (Sizes{2, 3, 1, 1}));
  EXPECT_EQ(showRow(l.table.rows[1], 2), "5 0");
  EXPECT_EQ(document(l.table, kLine), referenceDocument(l.table, kLine));
}

// The two-row reader stops after the second line: the rest is never looked at.
TEST_F(HostileHuge, TwoRowFileFollowedByTwoToThe32LineEnds) {
  RepeatedBytes bytes("1,2\n3,4\n", '\n', "", 8 + k2To32);
  Loaded l;
  read(&l, bytes, false);
  ASSERT_EQ(l.result, ReadResult::ok);
  EXPECT_EQ(l.table.lastColumnIndex, 1);
  EXPECT_EQ(showRow(l.table.rows[0], 3) + " / " + showRow(l.table.rows[1], 3), "1 2 0 / 3 4 0");
}

}  // namespace

#endif  // __linux__
