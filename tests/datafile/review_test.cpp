// velrix-review as a program: what it exports, what it says, and the exit
// status a script reads. Local time is pinned to UTC+9 through TZ, as the
// fixture's clock.

#include <sys/wait.h>

#include <cstdlib>
#include <numeric>
#include <tuple>

#include "datafile/review/review_export.h"
#include "datafile/review/review_options.h"
#include "platform/c_format.h"
#include "tests/datafile/reader_fixture.h"

namespace velrix::testing {
namespace {

std::string ReviewPath() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string() +
         "/velrix-review";
}

class ReviewProgram : public ReaderTest {
 protected:
  // Runs velrix-review with these arguments; returns its exit status.
  int Run(const std::string& arguments) {
    const std::string command = "TZ=JST-9 '" + ReviewPath() + "' --data-folder '" + dataFolder() +
                                "' " + arguments + " >'" + temp.File("out") + "' 2>'" +
                                temp.File("err") + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return ReadBytes(temp.File("out")); }
  std::string Err() const { return ReadBytes(temp.File("err")); }
};

// The file's rows are stamped 10:00:00 to 12:00:00; the first ends the second
// before the search's start, so each hour holds the 3600 rows after it.
TEST_F(ReviewProgram, ExportsHourlyMeansOfTheRowsAndSaysWhatItLoaded) {
  std::vector<double> rows(7201);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<double>(i % 7);
  Write({"130302-100000.csv", -1, rows, "屋上, \"東\""});
  Write({"130302-230000.csv", -1, {1.0}, "屋上, \"東\"", "0.5"});  // refused, reported
  ASSERT_EQ(Run("--from '2013-03-02 10:00'"), 0) << Err();
  const double first = std::accumulate(rows.begin() + 1, rows.begin() + 3601, 0.0) / 3600;
  const double second = std::accumulate(rows.begin() + 3601, rows.end(), 0.0) / 3600;
  char expected[256];
  std::snprintf(expected, sizeof expected,
                "start,mean_count,comment\n2013-03-02 10:00:00,%.6f,\"屋上, \"\"東\"\"\"\n"
                "2013-03-02 11:00:00,%.6f,\"屋上, \"\"東\"\"\"\n",
                first, second);
  EXPECT_EQ(Out(), expected);
  EXPECT_NE(Err().find("ファイル選択異常: このファイルは、当プログラムのデータファイルではありません。"),
            std::string::npos)
      << Err();
  EXPECT_NE(Err().find("1 files, 7200 seconds loaded"), std::string::npos) << Err();

  // The last day's seconds carry the stamps written in the file; the day's
  // first second ends at 00:00:01.
  ASSERT_EQ(Run("--from 2013-03-02 --level s --comment '屋上, \"東\"'"), 0) << Err();
  const std::string out = Out();
  EXPECT_EQ(out.rfind("time,count,average,missing,power\n2013-03-02 00:00:01,,,,\n"
                      "2013-03-02 00:00:02,,,,\n", 0), 0u);
  EXPECT_NE(out.find("\n2013-03-02 10:00:00,0.000,0.000000,0,0\n2013-03-02 10:00:01,1.000,"),
            std::string::npos);
}

TEST_F(ReviewProgram, ExitStatusTellsNothingFoundFromABadCommandLine) {
  Write({"130302-100000.csv", -1, {1.0}});
  EXPECT_EQ(Run("--from 2014"), 2);
  EXPECT_NE(Err().find("この条件を満たすファイルは存在しません。"), std::string::npos);
  EXPECT_EQ(Run("--from 2013 --comment other"), 2);
  EXPECT_EQ(Run("--from 2013-04 --to 2013-03"), 1);
  EXPECT_NE(Err().find("終了月異常: 終了月は、開始月以上を設定してください。"), std::string::npos);
  for (const char* bad : {"--from 2013 --level 5", "--from 2013-3x", "--from 2013- ", "--to 2013",
                          "--from 2013 --frobnicate 1", "--from 2013 --out /no/such/folder/x"}) {
    EXPECT_EQ(Run(bad), 1) << bad;
    EXPECT_NE(Err().find("usage: velrix-review") + Err().find("cannot write"), 2 * std::string::npos)
        << bad;
  }
}

// Local time one hour ahead of UTC, two hours from `change` on, as at a
// summer time's start; or an offset with seconds of its own.
class SteppingClock final : public Clock {
 public:
  SteppingClock(ClockSeconds change, int before, int after)
      : change_(change), before_(before), after_(after) {}
  ClockSeconds Now() const override { return 0; }
  std::int64_t ElapsedMs() const override { return 0; }
  CalendarTime Local(ClockSeconds t) const override {
    return CalendarFromUtc(t + (t < change_ ? before_ : after_));
  }
  ClockSeconds FromLocal(int y, int mo, int d, int h, int mi, int s) const override {
    return UtcFromCalendar(y, mo, d, h, mi, s) - before_;
  }

 private:
  ClockSeconds change_;
  int before_, after_;
};

// The level lines are made without the C library, a stamp a minute: they are
// the lines its formats give for the same entries, across a change of the
// offset and for an offset the minutes do not hold.
TEST(LevelCsv, TheLinesAreThoseOfTheCFormatsAcrossAnOffsetChange) {
  const ClockSeconds origin = UtcFromCalendar(2013, 3, 31, 0, 0, 0);
  for (const SteppingClock& clock : {SteppingClock(origin + 3600, 3600, 7200),
                                     SteppingClock(origin + 1800, 3600 + 13, 3600 - 47)}) {
    auto h = std::make_unique<FileHistory>();
    h->origin = origin;
    const std::string comment = "屋上, \"東\"";
    const int index = h->distinctComments.IndexOf(Utf8ToCp932(comment));
    char* bytes = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&bytes, &size);
    LevelCsvWriter writer(out, 0, *h, clock);
    std::string expected;
    for (const auto& [first, count, mean] : std::vector<std::tuple<long long, long long, double>>{
             {0, 1, 0.0}, {1, 500, 2.5}, {501, 3, kNoDataCount}, {504, 1, 1.0 / 3},
             {505, 200, 16382.0}}) {
      writer.Entries(0, first, count, mean, index);
      writer.Entries(1, first, count, mean, index);  // another level: not written
      const std::string fields =
          mean >= 0 ? CFormatString("%.6f", mean) + "," + CsvField(comment) : ",";
      for (long long e = first; e < first + count; ++e) {
        expected += LocalStamp(clock, origin + e * 10) + "," + fields + "\n";
      }
    }
    ASSERT_TRUE(writer.Flush());
    std::fclose(out);
    EXPECT_EQ(writer.rows(), 705);
    EXPECT_EQ(std::string(bytes, size), expected);
    std::free(bytes);
  }
}

TEST(ReviewDates, ADateMayStopAfterAnyField) {
  std::string f[5];
  std::string* fields[5] = {&f[0], &f[1], &f[2], &f[3], &f[4]};
  ASSERT_TRUE(SplitReviewDate("2013-03-02 10:30", fields));
  EXPECT_EQ((std::vector<std::string>(f, f + 5)),
            (std::vector<std::string>{"2013", "03", "02", "10", "30"}));
  ASSERT_TRUE(SplitReviewDate("2013-03", fields));
  EXPECT_EQ((std::vector<std::string>(f, f + 5)), (std::vector<std::string>{"2013", "03", "", "", ""}));
  EXPECT_FALSE(SplitReviewDate("2013/03", fields));
  EXPECT_FALSE(SplitReviewDate("2013-03-", fields));
  EXPECT_FALSE(SplitReviewDate("", fields));
}

}  // namespace
}  // namespace velrix::testing
