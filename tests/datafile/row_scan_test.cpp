// Reading the fields of a row: the writer's rows in one step give exactly
// what reading them field by field gives, and anything else is left to the
// field-by-field reading.

#include <gtest/gtest.h>

#include <string>

#include "datafile/data_file_writer.h"
#include "datafile/row_scan.h"

namespace velrix {
namespace {

RowFields Fields(const std::string& line) {
  RowFields f;
  ScanRow(line.data(), line.size(), &f);
  return f;
}

TEST(RowScan, TheWritersRowsReadInOneStepAsFieldByField) {
  for (double count : {0.0, 0.001, 1.5, 12.345, 100.1, 999.999, 1234.567, 9999.999}) {
    for (int flags : {0, 1, 3}) {
      char row[kDataRowMaxBytes];
      const std::string line(row, static_cast<std::size_t>(FormatDataRow(row, 86399, count, flags & 1, flags)));
      const std::string bytes = line + "\r\n";
      RowFields fast;
      bool midnight = true;
      ASSERT_TRUE(ScanWriterRow(bytes.data(), &fast, &midnight)) << line;
      const RowFields slow = Fields(line);
      EXPECT_EQ(fast.count, slow.count) << line;
      EXPECT_EQ(fast.count, count) << line;
      EXPECT_EQ(fast.missing, slow.missing);
      EXPECT_EQ(fast.power, flags);
      EXPECT_FALSE(midnight);
    }
  }
  RowFields f;
  bool midnight = false;
  ASSERT_TRUE(ScanWriterRow("00:00:00,0001.000,0,0\r\n", &f, &midnight));
  EXPECT_TRUE(midnight);
}

TEST(RowScan, OtherRowsAreLeftToTheFieldByFieldReading) {
  RowFields f;
  bool midnight = false;
  for (const char* row : {"12:00:0x,0001.000,0,0\r\n", "12:0\n:00,0001.000,0,0\r\n",
                          "12:00:00,0001.00x,0,0\r\n", "12:00:00,0001,000,0,0\r\n",
                          "12:00:00,12345.678,0\r\n", "12:00:00,0001.000,0,0\n\r\n",
                          "12:00:00,0001.000,a,0\r\n", "12-00-00,0001.000,0,0\r\n"}) {
    EXPECT_FALSE(ScanWriterRow(row, &f, &midnight)) << row;
  }
  EXPECT_EQ(Fields("12:00:00,12345.678,1,3").count, 12345.678);
  EXPECT_EQ(Fields("12:00:00, +7.5e1 ,9,999").count, 75.0);
  EXPECT_EQ(Fields("12:00:00, +7.5e1 ,9,999").power, 255);
  EXPECT_EQ(Fields("12:00:00,.5,-2,1").missing, 0);
  EXPECT_EQ(Fields("12:00:00,.5,-2,1").count, 0.5);
  for (const char* odd : {"12:00:00,inf,0,0", "12:00:00,nan,0,0", "12:00:00,--1,0,0",
                          "12:00:00,,0,0", "12:00:00,1e999,0,0"}) {
    EXPECT_EQ(Fields(odd).count, 0.0) << odd;
  }
  EXPECT_EQ(Fields("1x:00:00,1,0,0").hour, -1);
}

}  // namespace
}  // namespace velrix
