#include "settings/scan_numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

// A stream over the given bytes, read through a real file.
class Stream {
 public:
  explicit Stream(const std::string& bytes) {
    WriteBytes(folder_.File("f"), bytes);
    file_ = std::fopen(folder_.File("f").c_str(), "r");
  }
  ~Stream() { std::fclose(file_); }
  std::FILE* get() { return file_; }

 private:
  TempFolder folder_;
  std::FILE* file_ = nullptr;
};

TEST(ScanNumbers, IntegersTakeSignsAndHoldAtTheLimitsOfInt) {
  Stream s(" -12\n+7 99999999999 -99999999999 3x");
  int v = 0;
  ASSERT_TRUE(ScanInt(s.get(), v));
  EXPECT_EQ(v, -12);
  ASSERT_TRUE(ScanInt(s.get(), v));
  EXPECT_EQ(v, 7);
  ASSERT_TRUE(ScanInt(s.get(), v));
  EXPECT_EQ(v, INT_MAX);
  ASSERT_TRUE(ScanInt(s.get(), v));
  EXPECT_EQ(v, INT_MIN);
  ASSERT_TRUE(ScanInt(s.get(), v));
  EXPECT_EQ(v, 3);
  v = 42;
  EXPECT_FALSE(ScanInt(s.get(), v));
  EXPECT_EQ(v, 42);
}

TEST(ScanNumbers, AnIntegerStopsAtAPointAndTheNextReadFailsThere) {
  Stream s("1.5");
  int v = 0;
  ASSERT_TRUE(ScanInt(s.get(), v));
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(ScanInt(s.get(), v));
}

TEST(ScanNumbers, ASignOrPointAloneIsNotANumber) {
  for (const char* text : {"-", "+ 1", ".", "-.e5", ""}) {
    Stream s(text);
    double d = 0;
    EXPECT_FALSE(ScanDouble(s.get(), d)) << text;
  }
}

TEST(ScanNumbers, LinesEndAtLfOrCrLfAndAtEndOfFile) {
  Stream s("one\r\ntwo\n\nthree");
  std::string line;
  ASSERT_TRUE(ReadCp932Line(s.get(), 127, line));
  EXPECT_EQ(line, "one");
  ASSERT_TRUE(ReadCp932Line(s.get(), 127, line));
  EXPECT_EQ(line, "two");
  ASSERT_TRUE(ReadCp932Line(s.get(), 127, line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(ReadCp932Line(s.get(), 127, line));
  EXPECT_EQ(line, "three");
  EXPECT_FALSE(ReadCp932Line(s.get(), 127, line));
}

TEST(ScanNumbers, ALineEndsAtAnEmbeddedNul) {
  Stream s(std::string("ab\0cd\nnext\n", 11));
  std::string line;
  ReadCp932Line(s.get(), 127, line);
  EXPECT_EQ(line, "ab");
  ReadCp932Line(s.get(), 127, line);
  EXPECT_EQ(line, "next");
}

}  // namespace
}  // namespace velrix
