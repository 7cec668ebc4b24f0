// velrix-review as a program: what it exports, what it says, and the exit
// status a script reads. Local time is pinned to UTC+9 through TZ, as the
// fixture's clock.

#include <sys/wait.h>

#include <cstdlib>
#include <numeric>

#include "datafile/review/review_options.h"
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

TEST_F(ReviewProgram, ExportsHourlyMeansOfTheRowsAndSaysWhatItLoaded) {
  std::vector<double> rows(7200);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<double>(i % 7);
  Write({"130302-100000.csv", -1, rows, "屋上, \"東\""});
  Write({"130302-230000.csv", -1, {1.0}, "屋上, \"東\"", "0.5"});  // refused, reported
  ASSERT_EQ(Run("--from '2013-03-02 10:00'"), 0) << Err();
  const double first = std::accumulate(rows.begin(), rows.begin() + 3600, 0.0) / 3600;
  const double second = std::accumulate(rows.begin() + 3600, rows.end(), 0.0) / 3600;
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

  // The last day's seconds carry the stamps written in the file.
  ASSERT_EQ(Run("--from 2013-03-02 --level s --comment '屋上, \"東\"'"), 0) << Err();
  const std::string out = Out();
  EXPECT_EQ(out.rfind("time,count,average,missing,power\n2013-03-02 00:00:00,,,,\n"
                      "2013-03-02 00:00:01,,,,\n", 0), 0u);
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
