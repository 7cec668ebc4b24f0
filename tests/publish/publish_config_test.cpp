// publish.conf as operators write it, right and wrong: what each file sets
// up (the listener on loopback unless an address is given, TLS with its
// port, relative files in the program folder, the password's first line),
// and the message naming the fault of each faulty file, which then sets up
// nothing and never shows the password.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/c_format.h"
#include "publish/publish_config.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

constexpr char kSecret[] = "s3cret-of-the-station";

struct ConfigCase {
  const char* name;
  const char* text;
  mode_t passwordMode;  // of the folder's file "password"
  const char* expected;  // the summary of what is set up, or the error
};

// The text with the test's folder written "DIR/".
std::string Local(std::string text, const std::string& folder) {
  for (std::size_t at; (at = text.find(folder)) != std::string::npos;) {
    text.replace(at, folder.size(), "DIR/");
  }
  return text;
}

// What a configuration sets up, in one line.
std::string Summary(const PublishConfig& c, const std::string& folder) {
  std::string out;
  if (c.mqtt.enabled) {
    out += CFormatString("mqtt %s:%d qos %d as '%s' user '%s' password '%s' ca '%s' "
                         "topics %s, %s",
                         c.mqtt.host.c_str(), c.mqtt.port, c.mqtt.qos, c.mqtt.clientId.c_str(),
                         c.mqtt.username.c_str(), c.mqtt.password.c_str(),
                         Local(c.mqtt.caFile, folder).c_str(), c.mqtt.topicPrefix.c_str(),
                         c.mqtt.discoveryPrefix.c_str());
  }
  if (c.metrics.enabled) {
    out += CFormatString("%smetrics %s port %d", out.empty() ? "" : "; ",
                         c.metrics.address.c_str(), c.metrics.port);
  }
  return out.empty() ? "nothing" : out;
}

class PublishConfigParse : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(PublishConfigParse, SetsUpWhatTheFileSaysOrNamesItsFaultAndSetsUpNothing) {
  const ConfigCase& c = GetParam();
  testing::TempFolder temp;
  const std::string folder = temp.File("");
  testing::WriteBytes(folder + "password", std::string(kSecret) + "\r\nsecond line\n");
  ASSERT_EQ(::chmod((folder + "password").c_str(), c.passwordMode), 0);
  PublishConfig config;
  config.mqtt.enabled = true;  // left over, as from an earlier read
  std::string error;
  const bool ok = ParsePublishConfig(c.text, folder, &config, &error);
  if (ok) {
    EXPECT_EQ(Summary(config, folder), c.expected);
  } else {
    EXPECT_EQ(Local(error, folder), c.expected);
    EXPECT_EQ(Summary(config, folder), "nothing");
    EXPECT_EQ(config.mqtt.password, "");
  }
  EXPECT_EQ(error.find(kSecret), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Files, PublishConfigParse,
    ::testing::Values(
        ConfigCase{"Empty", "# nothing yet\n\n", 0600, "nothing"},
        ConfigCase{"MetricsOnLoopbackUnlessAnAddressIsGiven", "metrics_port = 9464\n", 0600,
                   "metrics 127.0.0.1 port 9464"},
        ConfigCase{"MetricsOnAGivenAddress", "metrics_port=9100\nmetrics_address = ::\n", 0600,
                   "metrics :: port 9100"},
        ConfigCase{"MqttDefaults", "mqtt_host = broker.lan\r\n", 0600,
                   "mqtt broker.lan:1883 qos 0 as '' user '' password '' ca '' "
                   "topics velrix, homeassistant"},
        ConfigCase{"MqttEveryKeyWithTlsAndAPasswordFile",
                   "mqtt_host = broker.lan\nmqtt_client_id = desk-7\nmqtt_username = station\n"
                   "mqtt_password_file = password\nmqtt_tls_ca_file = ca.pem\nmqtt_qos = 2\n"
                   "mqtt_topic_prefix = site/north\nmqtt_discovery_prefix = ha\n"
                   "\t# and the endpoint\nmetrics_port = 9464\n",
                   0600,
                   "mqtt broker.lan:8883 qos 2 as 'desk-7' user 'station' "
                   "password 's3cret-of-the-station' ca 'DIR/ca.pem' topics site/north, ha; "
                   "metrics 127.0.0.1 port 9464"},
        ConfigCase{"TlsOnAGivenPort", "mqtt_host = b\nmqtt_port = 1884\nmqtt_tls_ca_file = /ca\n",
                   0600, "mqtt b:1884 qos 0 as '' user '' password '' ca '/ca' topics velrix, "
                         "homeassistant"},
        ConfigCase{"PasswordFileOthersCanRead",
                   "mqtt_host = b\nmqtt_username = u\nmqtt_password_file = password\n", 0644,
                   "the password file DIR/password may be read or changed by other users "
                   "(mode 0644); allow its owner only (chmod 600)"},
        ConfigCase{"PasswordFileTheGroupCanWrite",
                   "mqtt_host = b\nmqtt_username = u\nmqtt_password_file = password\n", 0620,
                   "the password file DIR/password may be read or changed by other users "
                   "(mode 0620); allow its owner only (chmod 600)"},
        ConfigCase{"PasswordFileMissing",
                   "mqtt_host = b\nmqtt_username = u\nmqtt_password_file = /nonexistent/pw\n",
                   0600, "the password file /nonexistent/pw cannot be opened: No such file or "
                         "directory"},
        ConfigCase{"PasswordWithoutUser", "mqtt_host = b\nmqtt_password_file = password\n", 0600,
                   "mqtt_password_file needs mqtt_username"},
        ConfigCase{"NoEqualsSign", "mqtt_host broker\n", 0600,
                   "line 1: expected \"name = value\""},
        ConfigCase{"UnknownKey", "# a typo\nmqtt_hots = b\n", 0600,
                   "line 2: unknown setting \"mqtt_hots\""},
        ConfigCase{"KeyTwice", "mqtt_host = b\nmqtt_host = c\n", 0600,
                   "line 2: mqtt_host is set twice"},
        ConfigCase{"NoValue", "mqtt_host =\n", 0600, "line 1: mqtt_host has no value"},
        ConfigCase{"PortOutOfRange", "metrics_port = 65536\n", 0600,
                   "line 1: metrics_port must be a port number from 1 to 65535"},
        ConfigCase{"PortNotANumber", "mqtt_host = b\nmqtt_port = 18 83\n", 0600,
                   "line 2: mqtt_port must be a port number from 1 to 65535"},
        ConfigCase{"QosOutOfRange", "mqtt_host = b\nmqtt_qos = 3\n", 0600,
                   "line 2: mqtt_qos must be 0, 1 or 2"},
        ConfigCase{"WildcardInPrefix", "mqtt_host = b\nmqtt_topic_prefix = site/#\n", 0600,
                   "line 2: mqtt_topic_prefix must be a topic without + or #, without empty "
                   "levels"},
        ConfigCase{"EmptyLevelInPrefix", "mqtt_host = b\nmqtt_discovery_prefix = ha/\n", 0600,
                   "line 2: mqtt_discovery_prefix must be a topic without + or #, without empty "
                   "levels"},
        ConfigCase{"MqttSettingWithoutHost", "mqtt_port = 1883\n", 0600,
                   "MQTT settings are given without mqtt_host"},
        ConfigCase{"AddressWithoutPort", "metrics_address = 0.0.0.0\n", 0600,
                   "metrics_address is given without metrics_port"}),
    [](const ::testing::TestParamInfo<ConfigCase>& info) { return std::string(info.param.name); });

// The file in the program folder: none sets up nothing, a folder in its
// place is refused with its path, a file is parsed.
TEST(PublishConfigLoad, NoFileSetsUpNothingAFolderInItsPlaceIsRefusedAFileIsRead) {
  testing::TempFolder temp;
  const std::string folder = temp.File("");
  PublishConfig config;
  std::string error;
  EXPECT_EQ(LoadPublishConfig(folder, &config, &error), PublishConfigRead::Absent);
  ASSERT_TRUE(std::filesystem::create_directory(folder + kPublishConfigName));
  EXPECT_EQ(LoadPublishConfig(folder, &config, &error), PublishConfigRead::Refused);
  EXPECT_EQ(Local(error, folder), "DIR/publish.conf: cannot be read as a file of at most 64 KiB");
  std::filesystem::remove(folder + kPublishConfigName);
  testing::WriteBytes(folder + kPublishConfigName, "metrics_port = 9464\n");
  EXPECT_EQ(LoadPublishConfig(folder, &config, &error), PublishConfigRead::Loaded);
  EXPECT_EQ(Summary(config, folder), "metrics 127.0.0.1 port 9464");
}

}  // namespace
}  // namespace velrix
