// The recorder's Prometheus endpoint scraped by a real prometheus server:
// its HTTP API returns the series with the values the committed rows hold,
// and promtool accepts the endpoint's text.

#include <gtest/gtest.h>
#include <signal.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/servers_fixture.h"
#include "platform/command_line.h"
#include "tests/support/program_run.h"

namespace velrix::testing::e2e {
namespace {

constexpr double kRelativeTolerance = 1e-6;

// The newest sample of each series as the query API returns them: name and
// labels -> value. Prometheus stores a scrape's samples at once, so they all
// come from its last scrape.
struct Scrape {
  std::map<std::string, double> values;
};

Scrape ParseQuery(const std::string& body) {
  Scrape scrape;
  const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
  EXPECT_EQ(doc["status"].toString().toStdString(), "success") << body;
  for (const QJsonValue& v : doc["data"].toObject()["result"].toArray()) {
    const QJsonObject metric = v.toObject()["metric"].toObject();
    std::string key = metric["__name__"].toString().toStdString();
    for (const char* label : {"state", "version"}) {
      if (metric.contains(label)) {
        key += std::string("{") + label + "=" + metric[label].toString().toStdString() + "}";
      }
    }
    const QJsonArray value = v.toObject()["value"].toArray();
    scrape.values[key] = value.at(1).toString().toDouble();
  }
  return scrape;
}

void ExpectNear(double actual, double expected) {
  EXPECT_NEAR(actual, expected, kRelativeTolerance * std::abs(expected) + 1e-20);
}

TEST(StationMetrics, PrometheusScrapesSeriesWithTheRowsValuesAndPromtoolAcceptsTheText) {
  Station station;
  SharedClock clock("2026-06-01 10:00:00", 5);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  const int port = FreePort();
  WritePublishConfig(station, "metrics_port = " + std::to_string(port) + "\n");
  auto recorder = StartRecorder(station, clock, "recorder.out");
  Prometheus prometheus(station.temp(), port);
  ASSERT_TRUE(prometheus.Ready()) << prometheus.Output();
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 20; }, kStartSeconds))
      << recorder->Output();

  const std::string url = "http://127.0.0.1:" + std::to_string(port);
  const std::optional<std::string> text = HttpGet(url + "/metrics");
  ASSERT_TRUE(text.has_value()) << recorder->Output();
  EXPECT_FALSE(HttpGet(url + "/other").has_value());
  const std::string saved = station.temp().File("metrics.txt");
  WriteBytes(saved, *text);
  const ProgramRun check = RunProgram("/bin/sh", {"-c", "promtool check metrics < " + saved},
                                      {"PATH=/usr/bin:/bin"}, 30);
  EXPECT_TRUE(check.exitCode.has_value() && *check.exitCode == 0) << check.out << check.err;
  EXPECT_EQ(check.out + check.err, "") << *text;

  // The newest scrape Prometheus holds, once it has twenty seconds.
  Scrape scrape;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::optional<std::string> body = prometheus.Query("{__name__=~\"velrix_.+\"}");
        if (!body) return false;
        scrape = ParseQuery(*body);
        return scrape.values["velrix_processed_seconds_total"] >= 20;
      },
      kStartSeconds))
      << prometheus.Output();
  const int sentAtStop = static_cast<int>(unit.CountsSent().size());
  recorder->Signal(SIGTERM);
  ASSERT_TRUE(ExitedWith(recorder->WaitExit(kExitSeconds), 0)) << recorder->Output();

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 3, static_cast<int>(sent.size())}};
  std::vector<DataFile> files;
  Matching m;
  ASSERT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "");
  // The rows up to the second the scrape saw last.
  const std::vector<Row> all = AllRows(files);
  const auto last = static_cast<ClockSeconds>(scrape.values["velrix_last_second_timestamp_seconds"]);
  std::vector<Row> rows;
  for (const Row& r : all) {
    if (r.at <= last) rows.push_back(r);
  }
  ASSERT_FALSE(rows.empty());
  ASSERT_EQ(rows.back().at, last);
  double counts = 0.0;
  double missing = 0.0;
  double dose = 0.0;
  for (const Row& r : rows) {
    counts += r.count;
    missing += r.missing;
    dose += StationDoseRate(station, r.count) / 3600.0;
  }
  std::map<std::string, double>& v = scrape.values;
  EXPECT_EQ(v["velrix_processed_seconds_total"], static_cast<double>(rows.size()));
  EXPECT_EQ(v["velrix_counts_total"], counts);
  EXPECT_EQ(v["velrix_missing_seconds_total"], missing);
  ExpectNear(v["velrix_integrated_dose_sieverts"], dose * 1e-6);
  ExpectNear(v["velrix_current_dose_rate_sieverts_per_second"],
             StationDoseRate(station, rows.back().count) * 1e-6 / 3600.0);
  EXPECT_EQ(v["velrix_battery_normal"], (rows.back().power & 2) == 0 ? 1.0 : 0.0);
  EXPECT_EQ(v["velrix_solar_sufficient"], (rows.back().power & 1) == 0 ? 1.0 : 0.0);
  EXPECT_EQ(v["velrix_link_state{state=ok}"], 1.0);
  EXPECT_EQ(v["velrix_link_state{state=ng}"], 0.0);
  EXPECT_EQ(v[std::string("velrix_build_info{version=") + ProgramVersion() + "}"], 1.0);
  EXPECT_EQ(v.count("velrix_link_restarts_total"), 1u);
  EXPECT_EQ(v.count("velrix_mqtt_connected"), 0u) << "no MQTT was configured";
}

}  // namespace
}  // namespace velrix::testing::e2e
