// The condition search: how typed dates are checked and completed, which
// names of a day folder fall in the range, and loads over the dated tree.

#include "datafile/date_search.h"
#include "tests/datafile/reader_fixture.h"

namespace velrix::testing {
namespace {

ConditionFailure Refusal(const ConditionFields& fields) {
  ConditionRange range;
  ConditionFailure failure;
  EXPECT_FALSE(CompleteConditions(fields, &range, &failure));
  return failure;
}

TEST(Conditions, EmptyFieldsCompleteToTheWidestRange) {
  ConditionRange r;
  ConditionFailure failure;
  ASSERT_TRUE(CompleteConditions({"2013"}, &r, &failure));
  EXPECT_EQ((std::vector<int>{r.startYear, r.startMonth, r.startDay, r.startHour, r.startMinute}),
            (std::vector<int>{2013, 1, 1, 0, 0}));
  EXPECT_EQ((std::vector<int>{r.endYear, r.endMonth, r.endDay, r.endHour, r.endMinute}),
            (std::vector<int>{2033, 12, 31, 24, 60}));
  // A later field is not read once one before it is empty.
  ASSERT_TRUE(CompleteConditions({"2013", "", "99", "", "", "2013", "5", "", "", "77"}, &r, &failure));
  EXPECT_EQ(r.startDay, 1);
  EXPECT_EQ((std::vector<int>{r.endMonth, r.endDay, r.endHour, r.endMinute}),
            (std::vector<int>{5, 31, 24, 60}));
  // The same minute at both ends is a range of its own.
  ASSERT_TRUE(CompleteConditions({"2013", "3", "2", "10", "30", "2013", "3", "2", "10", "30"}, &r,
                                 &failure));
  EXPECT_EQ(r.endMinute, 30);
  ASSERT_TRUE(CompleteConditions({}, &r, &failure));
  EXPECT_EQ(r.startYear, 2011);
  EXPECT_EQ(r.endYear, 2031);
}

TEST(Conditions, TheFirstFailingFieldGivesItsMessage) {
  const ConditionFailure month = Refusal({"2013", "ab"});  // no digits read as 0
  EXPECT_EQ(month.title, "開始月異常");
  EXPECT_EQ(month.text, "月は、1～12を設定してください。");
  EXPECT_EQ(Refusal({"2010"}).title, "開始年異常");
  EXPECT_EQ(Refusal({"2013", "1", "32"}).text, "日は、1～31を設定してください。");
  EXPECT_EQ(Refusal({"2013", "1", "1", "24"}).title, "開始時異常");
  EXPECT_EQ(Refusal({"2013", "1", "1", "0", "60"}).text, "分は、0～59を設定してください。");
  EXPECT_EQ(Refusal({"2013", "", "", "", "", "2031"}).text, "年は、2011～2030を設定してください。");
  EXPECT_EQ(Refusal({"2013", "4", "", "", "", "2013", "3"}).text,
            "終了月は、開始月以上を設定してください。");
  EXPECT_EQ(Refusal({"2014", "", "", "", "", "2013"}).title, "終了年異常");
  EXPECT_EQ(Refusal({"2013", "3", "2", "", "", "2013", "3", "1"}).text,
            "終了日は、開始日以上を設定してください。");
  EXPECT_EQ(Refusal({"2013", "3", "2", "10", "", "2013", "3", "2", "9"}).title, "終了時異常");
  EXPECT_EQ(Refusal({"2013", "3", "2", "10", "30", "2013", "3", "2", "10", "29"}).text,
            "終了分は、開始分以上を設定してください。");
  EXPECT_EQ(Refusal({"2013", "3", "2", "10", "30", "2013", "3", "2", "11", "60"}).title,
            "終了分異常");
  // Each end field's own bounds are allowed.
  ConditionRange r;
  ConditionFailure failure;
  EXPECT_TRUE(CompleteConditions({"2013", "1", "1", "0", "0", "2030", "1", "31", "23", "59"}, &r,
                                 &failure))
      << failure.title;
  // A later end month in a later year is fine; a range check still applies.
  EXPECT_EQ(Refusal({"2013", "4", "", "", "", "2014", "13"}).text, "月は、1～12を設定してください。");
}

TEST(Conditions, ADayFoldersNamesAreTakenByDateAndMinuteNotSecond) {
  EXPECT_TRUE(CandidateName("130302-103000.csv", 2013, 3, 2, 10, 30, 10, 30));
  EXPECT_TRUE(CandidateName("130302-103059.csv", 2013, 3, 2, 10, 30, 10, 30));
  EXPECT_FALSE(CandidateName("130302-102959.csv", 2013, 3, 2, 10, 30, 10, 30));
  EXPECT_FALSE(CandidateName("130302-103100.csv", 2013, 3, 2, 10, 30, 10, 30));
  EXPECT_TRUE(CandidateName("130302-235959.csv", 2013, 3, 2, 0, 0, 24, 60));
  EXPECT_FALSE(CandidateName("130303-103000.csv", 2013, 3, 2, 0, 0, 24, 60));  // another date
  EXPECT_FALSE(CandidateName(".30302-103000.csv", 2013, 3, 2, 0, 0, 24, 60));
  EXPECT_FALSE(CandidateName("130302-103000.csv~", 2013, 3, 2, 0, 0, 24, 60));
  EXPECT_FALSE(CandidateName("130302_103000.csv", 2013, 3, 2, 0, 0, 24, 60));
  EXPECT_FALSE(CandidateName("130402-103000.csv", 2013, 3, 2, 0, 0, 24, 60));  // another month
  EXPECT_FALSE(CandidateName("130302-093000.csv", 2013, 3, 2, 10, 30, 12, 0));  // hour before
  EXPECT_FALSE(CandidateName("130302-123000.csv", 2013, 3, 2, 10, 30, 12, 0));  // minute after
  EXPECT_FALSE(CandidateName("130302-133000.csv", 2013, 3, 2, 10, 30, 12, 0));  // hour after
  EXPECT_TRUE(CandidateName("190909-195959.csv", 2019, 9, 9, 0, 0, 24, 60));
  EXPECT_TRUE(CandidateName("991231-000000.csv", 2099, 12, 31, 0, 0, 24, 60));
}

class SearchTest : public ReaderTest {
 protected:
  int Search(const ConditionRange& range, const std::string& searchFolder = "") {
    return RunConditionSearch(*h, {dataFolder(), searchFolder}, range, env);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const FileEntry& f : h->files) names.emplace_back(f.name);
    return names;
  }
};

TEST_F(SearchTest, FilesOfTheRangeAreLoadedInDateOrderAndBadOnesPassedOver) {
  Write({"131231-230000.csv", -1, {1.0}});
  Write({"140101-000000.csv", -1, {2.0}});
  Write({"140101-090000.csv", -1, {3.0}, "屋上", "9.99"});  // refused with its message
  Write({"140101-100000.csv", -1, {4.0}});
  Write({"140201-100000.csv", -1, {5.0}});
  Write({"140301-100000.csv", -1, {6.0}});
  std::filesystem::create_directories(dataFolder() + "/2014/02/01/subfolder");
  WriteBytes(dataFolder() + "/2014/02/01/notes.txt", "x");
  ConditionRange range;
  range.startYear = 2013;
  range.startMonth = 12;
  range.startDay = 31;
  range.endYear = 2014;
  range.endMonth = 2;
  range.endDay = 28;
  EXPECT_EQ(Search(range), 4);
  EXPECT_EQ(Names(), (std::vector<std::string>{"131231-230000.csv", "140101-000000.csv",
                                                "140101-100000.csv", "140201-100000.csv"}));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{kNotDataFileText});
  EXPECT_EQ(h->origin, Local(2013, 12, 31, 0, 0, 0));
  EXPECT_EQ(SpanForLoadedSeconds(h->loadedSeconds), 5);  // a month and more: one year
}

TEST_F(SearchTest, TheFolderOfADirectChoiceStandsForEveryDayAndEmptyTreesFindNothing) {
  const std::string elsewhere = temp.File("elsewhere");
  Write({"130302-100000.csv", -1, {1.0}}, elsewhere);
  Write({"130303-100000.csv", -1, {2.0}}, elsewhere);
  ConditionRange range;
  range.startYear = 2013;
  range.endYear = 2013;
  EXPECT_EQ(Search(range), 0);  // nothing below the data folder
  EXPECT_EQ(Search(range, elsewhere), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"130302-100000.csv", "130303-100000.csv"}));
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SearchTest, TheSearchStopsWhenTheHistoryIsFull) {
  for (int hour = 10; hour < 15; ++hour) {
    Write({"130302-" + std::to_string(hour) + "0000.csv", -1, {1.0}});
  }
  ConditionRange range;
  range.startYear = 2013;
  h->fileLimit = 3;
  int offered = 0;
  ResetFileHistory(*h);
  h->loadFull = false;
  h->origin = Local(2013, 1, 1, 0, 0, 0);
  EXPECT_EQ(SearchDates(*h, {dataFolder(), ""}, range, env), 3);
  ForEachCandidate({dataFolder(), ""}, range, [&](const std::string&) { return ++offered < 2; });
  EXPECT_EQ(offered, 2);
}

TEST_F(SearchTest, OnlyTheFirstAndLastDatesOfTheRangeAreCutByTheTime) {
  for (const char* name : {"130310-130000.csv", "130315-110000.csv", "130320-080000.csv",
                           "130425-080000.csv", "130505-080000.csv", "130510-070000.csv",
                           "130520-080000.csv"}) {
    Write({name, -1, {1.0}});
  }
  ConditionRange range;
  range.startYear = range.endYear = 2013;
  range.startMonth = 3;
  range.startDay = 15;
  range.startHour = 12;
  range.endMonth = 5;
  range.endDay = 10;
  range.endHour = 6;
  EXPECT_EQ(Search(range), 3);
  EXPECT_EQ(Names(), (std::vector<std::string>{"130320-080000.csv", "130425-080000.csv",
                                                "130505-080000.csv"}));
  // A second search starts from an empty history.
  range.startMonth = range.endMonth = 4;
  range.startDay = 1;
  range.startHour = 0;
  range.endDay = 30;
  range.endHour = 24;
  EXPECT_EQ(Search(range), 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"130425-080000.csv"});
}

TEST(SpanFit, TheFirstSpanLongerThanTheLoadedSeconds) {
  EXPECT_EQ(SpanForLoadedSeconds(59), 0);
  EXPECT_EQ(SpanForLoadedSeconds(60), 1);
  EXPECT_EQ(SpanForLoadedSeconds(86400), 4);
  EXPECT_EQ(SpanForLoadedSeconds(31536000), 6);
}

// Local time two hours ahead of UTC until the autumn change, then one hour,
// so that 02:00:00 to 02:59:59 on 2026-10-25 shows twice.
class AutumnClock final : public Clock {
 public:
  ClockSeconds Now() const override { return 0; }
  std::int64_t ElapsedMs() const override { return 0; }
  CalendarTime Local(ClockSeconds t) const override {
    return CalendarFromUtc(t + (t < kChange ? 7200 : 3600));
  }
  ClockSeconds FromLocal(int y, int mo, int d, int h, int mi, int s) const override {
    return UtcFromCalendar(y, mo, d, h, mi, s) - 7200;
  }
  static constexpr ClockSeconds kChange = 1792890000;  // 2026-10-25 01:00:00 UTC
};

// The change begins a new file named after the repeated hour's first
// second: the search places it after the file that ended at the change,
// whether or not its own rows run past the repeated hour, and a file of the
// second showing alone is placed there by its rows.
TEST_F(SearchTest, FilesOfTheHourTheAutumnChangeRepeatsLieAtTheirTrueInstants) {
  const AutumnClock autumn;
  const ReaderEnv zoned{messages, autumn};
  for (const int afterRows : {300, 4200}) {
    for (const bool before : {true, false}) {
      std::filesystem::remove_all(dataFolder());
      if (before) Write({"261025-025002.csv", -1, std::vector<double>(598, 1.0)});
      Write({"261025-020000.csv", -1, std::vector<double>(afterRows, 7.0)});
      ConditionRange range;
      range.startYear = range.endYear = 2026;
      range.startMonth = range.endMonth = 10;
      range.startDay = range.endDay = 25;
      h = std::make_unique<FileHistory>();
      ASSERT_EQ(RunConditionSearch(*h, {dataFolder(), ""}, range, zoned), before ? 2 : 1);
      long long first = -1;
      for (long long s = 0; s < h->loadedSeconds && first < 0; ++s) {
        if (Count(s) == 7.0) first = s;
      }
      if (!before && afterRows == 300) {
        // Short and alone: nothing tells the showings apart; the first it is.
        EXPECT_EQ(SlotStamp(h->origin, first), AutumnClock::kChange - 3600);
        continue;
      }
      EXPECT_EQ(SlotStamp(h->origin, first), AutumnClock::kChange) << afterRows << " " << before;
      if (before) {
        EXPECT_EQ(Count(first - 1), 1.0);
      }
    }
  }
}

}  // namespace
}  // namespace velrix::testing
