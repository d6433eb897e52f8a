#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/command_line.h"
#include "common/field_scanner.h"
#include "common/path_text.h"
#include "common/text_input.h"
#include "common/text_output.h"
#include "platform/input_file.h"
#include "platform/file_system.h"
#include "platform/output_file.h"
#include "tests/file_faults.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string readAll(TextInput* in) {
  std::string text;
  const unsigned char* data;
  size_t size;
  while (textInputNext(in, &data, &size)) text.append(reinterpret_cast<const char*>(data), size);
  return text;
}

std::string readMemory(const std::string& bytes) {
  TextInput in;
  EXPECT_TRUE(textInputOpenMemory(&in, bytes.data(), bytes.size()));
  std::string text = readAll(&in);
  textInputClose(&in);
  return text;
}

// The blocks end at the first Ctrl-Z; their CR bytes are the readers' to drop. Whatever the CRs,
// the fields, separators and unfinished text the scanner finds are those of the text without them.
TEST(TextInput, StopsAtTheFirstCtrlZAndItsCarriageReturnsChangeNoField) {
  struct Case {
    std::string bytes, text;  // text: the data as text mode reads it
  } cases[] = {
      {"", ""},
      {"a\r\nb\r\n", "a\nb\n"},
      {"\r\r\r", ""},
      {"1\r2\r3", "123"},  // lone CRs vanish, they do not end lines
      {"ab\x1a" "cd\r\n", "ab"},
      {"\x1a", ""},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\r\x1a\r", ""},
      {"1.5\r\n-2\r,3\r\r\n4\r5,6\r", "1.5\n-2,3\n45,6"},
      // A Ctrl-Z in the first of several blocks ends the data, not only its block.
      {"1,2\x1a" + std::string(70000, '\n') + "3,4\n" + std::string(70000, '5'), "1,2"},
  };
  auto fields = [](const std::string& bytes) {
    TextInput in;
    EXPECT_TRUE(textInputOpenMemory(&in, bytes.data(), bytes.size()));
    FieldText field;
    fieldInit(&field);
    std::string seen;
    scanFields(&in, &field, [&](double value, uint8_t separator) {
      seen += std::to_string(value) + (separator == kByteComma ? "," : "|");
      return true;
    });
    seen += "[" + std::string(field.data, field.size) + "]";
    fieldRelease(&field);
    textInputClose(&in);
    return seen;
  };
  for (const Case& c : cases) {
    std::string upToCtrlZ = c.bytes.substr(0, c.bytes.find('\x1a'));
    EXPECT_EQ(readMemory(c.bytes), upToCtrlZ);
    EXPECT_EQ(fields(c.bytes), fields(c.text)) << c.text;
  }
}

TEST(TextInput, WorksAcrossBlockBoundariesAndRewinds) {
  // Long enough for several blocks; the Ctrl-Z sits at an awkward place.
  std::string bytes, expected;
  for (int i = 0; i < 200000; ++i) bytes += std::to_string(i) + "\r\n";
  expected = bytes + "tail";
  bytes += "tail\x1a" "never";
  std::string path = ::testing::TempDir() + "text_input_blocks.txt";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);

  TextInput in;
  ASSERT_EQ(inputFileOpen(&in, path.c_str()).kind, IoResult::ok);
  EXPECT_EQ(readAll(&in), expected);
  textInputRewind(&in);
  EXPECT_EQ(readAll(&in), expected);
  EXPECT_EQ(in.error, 0);
  textInputClose(&in);
  std::remove(path.c_str());

  IoResult missing = inputFileOpen(&in, (::testing::TempDir() + "no/such/file").c_str());
  EXPECT_EQ(missing.kind, IoResult::failed);
  EXPECT_EQ(missing.error, kMissingFolder);
  // A folder is no file, on every system.
  EXPECT_EQ(inputFileOpen(&in, ::testing::TempDir().c_str()).kind, IoResult::failed);
}

TEST(TextOutput, BuffersLargeAndSmallWritesInOrder) {
  std::string sink;
  TextOutput out;
  ASSERT_TRUE(textOutputBegin(&out, drainToString, &sink));
  std::string big(1 << 20, 'x');
  textOutputText(&out, "a");
  textOutputLineEnd(&out);
  textOutputBytes(&out, big.data(), big.size());
  textOutputFixed6(&out, -0.5);
  EXPECT_TRUE(textOutputEnd(&out));
  EXPECT_EQ(sink, "a\r\n" + big + "-0.500000");
}

TEST(TextOutput, ReportsAFailedDrainAndDropsLaterOutput) {
  int calls = 0;
  auto failing = [](void* context, const char*, size_t) {
    ++*static_cast<int*>(context);
    return false;
  };
  TextOutput out;
  ASSERT_TRUE(textOutputBegin(&out, failing, &calls));
  std::string big(3 << 20, 'x');
  textOutputBytes(&out, big.data(), big.size());
  textOutputBytes(&out, big.data(), big.size());
  EXPECT_FALSE(textOutputEnd(&out));
  EXPECT_EQ(calls, 1);
}

TEST(CommandLine, TailSkipsTheProgramNameAndKeepsTheRestVerbatim) {
  struct Case {
    const char* line;
    const char* tail;
  } cases[] = {
      {"plotvane.exe C:\\a b\\c.csv", "C:\\a b\\c.csv"},
      {"  \t\"C:\\Program Files\\plotvane.exe\"   x.csv  ", "x.csv  "},
      {"\"C:\\p q\\plotvane.exe\"x.csv", "x.csv"},
      {"prog\t\t\"quoted path.csv\"", "\"quoted path.csv\""},
      {"\"unterminated name", ""},
      {"\"tab\tends it\" rest", "ends it\" rest"},
      {"prog", ""},
      {"", ""},
      {"prog    ", ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(commandLineTail(c.line), c.tail) << c.line;
}

TEST(CommandLine, OneQuotedPathLosesItsMarks) {
  struct Case {
    const char* tail;
    const char* path;
  } cases[] = {
      {"\"C:\\a b\\c.csv\"", "C:\\a b\\c.csv"},
      {"\"C:\\a b\\c.csv\"  ", "C:\\a b\\c.csv"},
      {"C:\\a b\\c.csv", "C:\\a b\\c.csv"},
      {"\"a\" \"b\"", "\"a\" \"b\""},
      {"\"a\"b", "\"a\"b"},
      {"\"\"", "\"\""},
      {"\"", "\""},
      {"\"open", "\"open"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(pathFromTail(c.tail), c.path) << c.tail;
}

TEST(OutputFile, ReplacesTheTargetOnlyWhenComplete) {
  std::string target = ::testing::TempDir() + "output_file_target.txt";
  FILE* f = std::fopen(target.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fputs("old", f);
  std::fclose(f);
  auto contents = [&] {
    std::string s;
    FILE* g = std::fopen(target.c_str(), "rb");
    for (int c; g && (c = std::fgetc(g)) != EOF;) s += static_cast<char>(c);
    if (g) std::fclose(g);
    return s;
  };

  IoResult result;
  OutputFile* file = outputFileCreate(target.c_str(), &result);
  ASSERT_TRUE(file) << systemErrorText(result.error);
  ASSERT_TRUE(outputFileWrite(file, "new", 3));
  EXPECT_EQ(contents(), "old");  // nothing visible before the commit
  outputFileDiscard(file);
  EXPECT_EQ(contents(), "old");

  file = outputFileCreate(target.c_str(), &result);
  ASSERT_TRUE(file);
  ASSERT_TRUE(outputFileWrite(file, "new", 3));
  EXPECT_EQ(outputFileCommit(file).kind, IoResult::ok);
  EXPECT_EQ(contents(), "new");
  std::remove(target.c_str());

  EXPECT_FALSE(outputFileCreate((::testing::TempDir() + "missing-folder/x.txt").c_str(), &result));
  EXPECT_EQ(result.kind, IoResult::failed);
  EXPECT_EQ(result.error, kMissingFolder);
}

#ifndef _WIN32
TEST(OutputFile, ReportsAFullDiskAndLeavesDevicesInPlace) {
  // A device is written to, never replaced by a rename; /dev/full refuses every byte.
  IoResult result;
  OutputFile* file = outputFileCreate("/dev/full", &result);
  ASSERT_TRUE(file) << systemErrorText(result.error);
  std::string block(1 << 16, 'x');
  EXPECT_FALSE(outputFileWrite(file, block.data(), block.size()));
  result = outputFileCommit(file);
  EXPECT_EQ(result.kind, IoResult::failed);
  EXPECT_EQ(result.error, ENOSPC);
  struct stat st;
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  // A folder in the target's place makes the final move fail; the temporary file goes away.
  std::string folder = ::testing::TempDir() + "output_file_folder";
  mkdir(folder.c_str(), 0777);
  file = outputFileCreate(folder.c_str(), &result);
  ASSERT_TRUE(file);
  ASSERT_TRUE(outputFileWrite(file, "x", 1));
  EXPECT_EQ(outputFileCommit(file).kind, IoResult::failed);
  EXPECT_EQ(rmdir(folder.c_str()), 0);
}

TEST(OutputFile, ReplacesTheFileASymbolicLinkNames) {
  std::string target = ::testing::TempDir() + "output_file_real.txt";
  std::string link = ::testing::TempDir() + "output_file_link.txt";
  std::remove(link.c_str());
  FILE* f = std::fopen(target.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fclose(f);
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  IoResult result;
  OutputFile* file = outputFileCreate(link.c_str(), &result);
  ASSERT_TRUE(file);
  ASSERT_TRUE(outputFileWrite(file, "abc", 3));
  ASSERT_EQ(outputFileCommit(file).kind, IoResult::ok);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 3);
  std::remove(link.c_str());
  std::remove(target.c_str());
}
#endif

}  // namespace
