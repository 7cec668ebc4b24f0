// velrix-recorder publishing to a real mosquitto broker on 127.0.0.1: every
// recorded second arrives once, in order, with the values its row holds;
// Home Assistant's discovery configs are retained and announced again when
// Home Assistant says it is online; a broker that goes away and comes back,
// or refuses the login, costs no recorded second and is told once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/servers_fixture.h"

namespace velrix::testing::e2e {
namespace {

constexpr char kStateTopic[] = "velrix/0001/state";
constexpr char kAvailabilityTopic[] = "velrix/0001/availability";
constexpr int kDiscoveryConfigs = 9;  // five sensors, four binary sensors
constexpr double kDoseTolerance = 1e-6;
constexpr int kScale = 5;
constexpr int kFastScale = 10;
constexpr int kAwayClockSeconds = 60;

int Size(const std::vector<int>& v) { return static_cast<int>(v.size()); }

QJsonObject Json(const std::string& text) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
  return doc.object();
}

std::string BrokerConfig(const Broker& broker, const std::string& more = "") {
  return "# the test's broker\nmqtt_host = 127.0.0.1\nmqtt_port = " +
         std::to_string(broker.Port()) + "\n" + more;
}

std::vector<Caught> Exactly(const Subscriber& sub, const std::string& topic) {
  std::vector<Caught> out;
  for (const Caught& c : sub.Messages()) {
    if (c.topic == topic) out.push_back(c);
  }
  return out;
}

// The last word on the connection is "offline", after every second: once
// it has come, the subscriber holds all the recorder published.
bool WaitForOffline(const Subscriber& sub) {
  return WaitUntil(
      [&] {
        const std::vector<Caught> a = Exactly(sub, kAvailabilityTopic);
        return !a.empty() && a.back().payload == "offline";
      },
      20);
}

void Terminate(Child& recorder) {
  recorder.Signal(SIGTERM);
  const std::optional<int> status = recorder.WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << recorder.Output();
}

// The rows committed after a run on this unit, every one checked against
// the frames it sent. The unit in this process sends no frame for a second
// it was held up through, and a recorder held up reads a frame late: as
// many missing rows and dropped frames as the machine's hold-ups explain
// are allowed.
std::vector<Row> CheckedRows(const Station& station, const sim::SimUnit& unit, int sentAtStop,
                             const std::string& output, int lostToTheMachine) {
  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 3, Size(sent)}};
  expect.maxMissingRows = expect.maxOtherDrops = lostToTheMachine;
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "") << output;
  return AllRows(files);
}

// Each state message against the row of its second: the same time, count,
// retry mark and power states, the dose values of the shipped table, and the
// seconds one after another.
void ExpectStatesAreTheRows(const Station& station, const std::vector<Caught>& states,
                            const std::vector<Row>& rows) {
  ASSERT_EQ(states.size(), rows.size());
  double dose = 0.0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const QJsonObject s = Json(states[i].payload);
    const Row& r = rows[i];
    SCOPED_TRACE(states[i].payload);
    EXPECT_FALSE(states[i].retained);
    EXPECT_EQ(s["second"].toInt(-1), static_cast<int>(i));
    EXPECT_EQ(static_cast<ClockSeconds>(s["time"].toDouble()), r.at);
    EXPECT_EQ(s["count"].toDouble(-1), r.count);
    EXPECT_EQ(s["missing"].toBool(), r.missing == 1);
    EXPECT_EQ(s["battery_low"].toBool(), (r.power & 2) != 0);
    EXPECT_EQ(s["solar_low"].toBool(), (r.power & 1) != 0);
    EXPECT_EQ(s["link"].toString().toStdString(), "ok");
    const double rate = StationDoseRate(station, r.count);
    dose += rate / 3600.0;
    EXPECT_NEAR(s["current"].toDouble(-1), rate, kDoseTolerance * (1 + rate));
    EXPECT_NEAR(s["dose"].toDouble(-1), dose, kDoseTolerance * (1 + dose));
    EXPECT_GE(s["average"].toDouble(-1), 0.0);
    EXPECT_GE(s["hour"].toDouble(-1), 0.0);
  }
}

// The retained discovery configs as a client that comes later finds them.
void ExpectRetainedDiscovery(const Station& station, const Broker& broker) {
  Subscriber late(station.temp(), "late.out", broker, "homeassistant/#");
  ASSERT_TRUE(late.Ready());
  ASSERT_TRUE(WaitUntil([&] { return late.On("/config").size() >= kDiscoveryConfigs; }, 20));
  const std::vector<Caught> configs = late.On("/config");
  EXPECT_EQ(configs.size(), static_cast<std::size_t>(kDiscoveryConfigs));
  std::vector<std::string> ids;
  for (const Caught& c : configs) {
    SCOPED_TRACE(c.topic + " " + c.payload);
    EXPECT_TRUE(c.retained);
    const QJsonObject j = Json(c.payload);
    const bool sensor = c.topic.rfind("homeassistant/sensor/velrix_0001/", 0) == 0;
    EXPECT_TRUE(sensor || c.topic.rfind("homeassistant/binary_sensor/velrix_0001/", 0) == 0);
    const std::string id = j["unique_id"].toString().toStdString();
    EXPECT_EQ(id.rfind("velrix_0001_", 0), 0u);
    ids.push_back(id);
    EXPECT_EQ(j["state_topic"].toString().toStdString(), kStateTopic);
    EXPECT_EQ(j["availability_topic"].toString().toStdString(), kAvailabilityTopic);
    EXPECT_EQ(j["payload_not_available"].toString().toStdString(), "offline");
    EXPECT_FALSE(j["value_template"].toString().isEmpty());
    EXPECT_EQ(j["device"].toObject()["identifiers"].toArray().at(0).toString().toStdString(),
              "velrix_0001");
    if (sensor) {
      // No device class for a dose rate: Home Assistant has none for radiation.
      EXPECT_FALSE(j.contains("device_class"));
      const bool dose = c.topic.find("/dose/") != std::string::npos;
      EXPECT_EQ(j["state_class"].toString().toStdString(),
                dose ? "total_increasing" : "measurement");
      EXPECT_FALSE(j["unit_of_measurement"].toString().isEmpty());
    } else {
      EXPECT_EQ(j["payload_on"].toString().toStdString(), "ON");
    }
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "unique_id repeats";
}

TEST(StationMqtt, EveryRecordedSecondArrivesInOrderWithItsRowsValuesAndDiscoveryIsRetained) {
  const MachineStalls stalls;
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  Broker broker(station.temp());
  ASSERT_TRUE(broker.Start()) << broker.Output();
  Subscriber sub(station.temp(), "sub.out", broker);
  ASSERT_TRUE(sub.Ready());
  WritePublishConfig(station, BrokerConfig(broker, "mqtt_qos = 1\n"));
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 15; }, kStartSeconds))
      << recorder->Output();
  // Home Assistant starting up asks every device to announce itself again.
  ASSERT_TRUE(WaitUntil([&] { return sub.On("/config").size() >= kDiscoveryConfigs; }, 20));
  ASSERT_TRUE(PublishOnce(broker, "homeassistant/status", "online"));
  ASSERT_TRUE(WaitUntil([&] { return sub.On("/config").size() >= 2 * kDiscoveryConfigs; }, 20))
      << recorder->Output();
  ASSERT_TRUE(WaitForFrames(station, unit, 40, kStartSeconds)) << recorder->Output();
  const int sentAtStop = Size(unit.CountsSent());
  Terminate(*recorder);
  ASSERT_TRUE(WaitForOffline(sub)) << recorder->Output();

  const std::vector<Row> rows = CheckedRows(station, unit, sentAtStop, recorder->Output(),
                                            stalls.ClockSecondsLost(clock.scale()));
  ExpectStatesAreTheRows(station, Exactly(sub, kStateTopic), rows);
  EXPECT_EQ(LinesWith(recorder->Output(), "MQTT: publishing to 127.0.0.1:"), 1)
      << recorder->Output();
  ExpectRetainedDiscovery(station, broker);
}

TEST(StationMqtt, ABrokerAwayForAMinuteIsRetriedAndRejoinedWithTheDropsToldAndNoRowLost) {
  const MachineStalls stalls;
  Station station;
  // Ten times as fast: six real seconds away are a minute of recorded seconds.
  SharedClock clock("2026-06-01 10:00:00", kFastScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  Broker broker(station.temp());
  ASSERT_TRUE(broker.Start()) << broker.Output();
  WritePublishConfig(station, BrokerConfig(broker));
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil(
      [&] {
        return WorkingRows(station) >= 15 && LinesWith(recorder->Output(), "MQTT: publishing") == 1;
      },
      kStartSeconds))
      << recorder->Output();
  // A minute of the clock. The back-off runs in real time: attempts fail
  // one and three seconds after the loss, the one at seven finds the broker
  // back.
  broker.Stop();
  std::this_thread::sleep_for(std::chrono::seconds(kAwayClockSeconds / kFastScale));
  ASSERT_TRUE(broker.Start()) << broker.Output();
  Subscriber after(station.temp(), "after.out", broker);
  ASSERT_TRUE(after.Ready());
  ASSERT_TRUE(WaitUntil([&] { return Exactly(after, kStateTopic).size() >= 10; }, 40))
      << recorder->Output();
  const int sentAtStop = Size(unit.CountsSent());
  Terminate(*recorder);
  ASSERT_TRUE(WaitForOffline(after)) << recorder->Output();

  const std::vector<Row> rows = CheckedRows(station, unit, sentAtStop, recorder->Output(),
                                            stalls.ClockSecondsLost(clock.scale()));
  const std::string out = recorder->Output();
  EXPECT_EQ(LinesWith(out, "MQTT: the connection to 127.0.0.1:"), 1) << out;
  EXPECT_EQ(LinesWith(out, "cannot be reached"), 1) << out;
  ASSERT_EQ(LinesWith(out, "MQTT: publishing to"), 2) << out;
  // The rejoin tells how many seconds were not published meanwhile: the
  // minute away and the second or two until the next attempt (up to 31
  // real seconds when a loaded computer misses the ones at seven and 15).
  const std::size_t at = out.rfind("MQTT: publishing to");
  const std::size_t open = out.find('(', at);
  ASSERT_NE(open, std::string::npos);
  const int dropped = std::stoi(out.substr(open + 1));
  EXPECT_GE(dropped, kAwayClockSeconds - 10) << out;
  EXPECT_LE(dropped, 32 * kFastScale) << out;
  // What came after the rejoin continues the seconds, each with its row.
  const std::vector<Caught> states = Exactly(after, kStateTopic);
  int previous = -1;
  for (const Caught& c : states) {
    const QJsonObject s = Json(c.payload);
    const int second = s["second"].toInt(-1);
    ASSERT_GE(second, 0);
    ASSERT_LT(second, static_cast<int>(rows.size()));
    if (previous >= 0) {
      EXPECT_EQ(second, previous + 1);
    }
    previous = second;
    EXPECT_EQ(static_cast<ClockSeconds>(s["time"].toDouble()), rows[second].at);
    EXPECT_EQ(s["count"].toDouble(-1), rows[second].count);
  }
  EXPECT_EQ(previous, static_cast<int>(rows.size()) - 1);
}

// TLS: the broker's certificate is checked against the CA file, so a
// broker whose certificate another CA signed is never published to, and
// every second is recorded either way.
struct TlsCase {
  const char* name;
  bool rightCa;
  const char* told;
};

class StationMqttTls : public ::testing::TestWithParam<TlsCase> {};

TEST_P(StationMqttTls, TheBrokersCertificateIsCheckedAndRecordingGoesOn) {
  const TlsCase& c = GetParam();
  const MachineStalls stalls;
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  const TlsFiles tls = MakeTlsFiles(station.temp());
  Broker broker(station.temp(), "", "", &tls);
  ASSERT_TRUE(broker.Start()) << broker.Output();
  Subscriber sub(station.temp(), "sub.out", broker);
  ASSERT_TRUE(sub.Ready());
  WritePublishConfig(station, "mqtt_host = 127.0.0.1\nmqtt_port = " +
                                  std::to_string(broker.TlsPort()) + "\nmqtt_tls_ca_file = " +
                                  (c.rightCa ? tls.ca : tls.otherCa) + "\n");
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return LinesWith(recorder->Output(), c.told) == 1; }, kStartSeconds))
      << recorder->Output();
  ASSERT_TRUE(WaitForFrames(station, unit, Size(unit.CountsSent()) + 10, kStartSeconds));
  if (c.rightCa) {
    EXPECT_TRUE(WaitUntil([&] { return Exactly(sub, kStateTopic).size() >= 10; }, 20));
  }
  const int sentAtStop = Size(unit.CountsSent());
  Terminate(*recorder);

  CheckedRows(station, unit, sentAtStop, recorder->Output(),
              stalls.ClockSecondsLost(clock.scale()));
  const std::string out = recorder->Output();
  EXPECT_EQ(LinesWith(out, "MQTT:"), 1) << out;
  if (!c.rightCa) {
    EXPECT_EQ(Exactly(sub, kStateTopic).size(), 0u) << out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, StationMqttTls,
    ::testing::Values(TlsCase{"SignedByTheCaFile", true, "MQTT: publishing to 127.0.0.1:"},
                      TlsCase{"SignedByAnotherCa", false, "certificate verify failed"}),
    [](const ::testing::TestParamInfo<TlsCase>& info) { return std::string(info.param.name); });

// A login the broker refuses, or a configuration that must not be used:
// told once, nothing published, the password never shown, every second
// recorded.
struct LoginCase {
  const char* name;
  const char* password;   // written to the password file
  mode_t mode;            // of the password file
  const char* extra;      // more lines for publish.conf
  const char* told;       // the one line the recorder prints about it
};

class StationMqttLogin : public ::testing::TestWithParam<LoginCase> {};

TEST_P(StationMqttLogin, IsToldOnceWithoutTheSecretAndRecordingGoesOn) {
  const LoginCase& c = GetParam();
  const MachineStalls stalls;
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  Broker broker(station.temp(), "station", "right-secret");
  ASSERT_TRUE(broker.Start()) << broker.Output();
  const std::string passwordFile = station.temp().File("mqtt-password");
  WriteBytes(passwordFile, std::string(c.password) + "\n");
  ASSERT_EQ(::chmod(passwordFile.c_str(), c.mode), 0);
  WritePublishConfig(station, BrokerConfig(broker, "mqtt_username = station\nmqtt_password_file = " +
                                                       passwordFile + "\n" + c.extra));
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 10; }, kStartSeconds))
      << recorder->Output();
  // A refused login is tried again with back-off (after one, then three
  // seconds); a refused file is never tried at all.
  const bool refused = std::string(c.told).find("refused") != std::string::npos;
  if (refused) {
    EXPECT_TRUE(WaitUntil([&] { return LinesWith(broker.Output(), "not authorised") >= 3; }, 30))
        << broker.Output();
  }
  ASSERT_TRUE(WaitForFrames(station, unit, Size(unit.CountsSent()) + 5, kStartSeconds));
  const int sentAtStop = Size(unit.CountsSent());
  Terminate(*recorder);

  CheckedRows(station, unit, sentAtStop, recorder->Output(),
              stalls.ClockSecondsLost(clock.scale()));
  const std::string out = recorder->Output();
  EXPECT_EQ(LinesWith(out, c.told), 1) << out;
  EXPECT_EQ(LinesWith(out, "MQTT: publishing"), 0) << out;
  EXPECT_EQ(out.find(c.password), std::string::npos) << "the password was printed:\n" << out;
  // Only the test's own probe of the port connected.
  if (!refused) {
    EXPECT_EQ(LinesWith(broker.Output(), "New connection"), 1) << broker.Output();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StationMqttLogin,
    ::testing::Values(
        LoginCase{"WrongPassword", "wrong-secret", 0600, "", "refused the connection"},
        LoginCase{"PasswordFileOthersCanRead", "right-secret", 0644, "",
                  "may be read or changed by other users"},
        LoginCase{"QosOutOfRange", "right-secret", 0600, "mqtt_qos = 3\n",
                  "line 6: mqtt_qos must be 0, 1 or 2; nothing is published"}),
    [](const ::testing::TestParamInfo<LoginCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velrix::testing::e2e
