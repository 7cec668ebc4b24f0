#pragma once
// The station's connections to other tools: an MQTT broker to publish each
// second to (with Home Assistant discovery) and an HTTP endpoint for
// Prometheus. They are set in publish.conf in the program folder, a file of
// its own beside the settings files, which it never touches:
//
//   # comment
//   mqtt_host = broker.example.net
//   mqtt_port = 8883
//   mqtt_username = station-7
//   mqtt_password_file = /etc/velrix/mqtt-password
//   mqtt_tls_ca_file = /etc/ssl/certs/ca-certificates.crt
//   metrics_port = 9464
//
// Without the file nothing is published. A file with any fault publishes
// nothing at all, and the fault is told; recording goes on either way.

#include <string>

namespace velrix {

inline constexpr char kPublishConfigName[] = "publish.conf";
inline constexpr int kMqttDefaultPort = 1883;
inline constexpr int kMqttDefaultTlsPort = 8883;
inline constexpr char kMqttDefaultTopicPrefix[] = "velrix";
inline constexpr char kMqttDefaultDiscoveryPrefix[] = "homeassistant";
inline constexpr char kMetricsDefaultAddress[] = "127.0.0.1";

struct MqttConfig {
  bool enabled = false;          // mqtt_host was given
  std::string host;
  int port = 0;                  // 0 until resolved: 1883, or 8883 with TLS
  std::string clientId;          // empty: "velrix-" and the station's id
  std::string username;
  std::string password;          // from mqtt_password_file; never printed or traced
  std::string caFile;            // TLS, with the broker's certificate checked, when set
  int qos = 0;
  std::string topicPrefix = kMqttDefaultTopicPrefix;
  std::string discoveryPrefix = kMqttDefaultDiscoveryPrefix;  // empty: no discovery
};

struct MetricsConfig {
  bool enabled = false;          // metrics_port was given
  std::string address = kMetricsDefaultAddress;
  int port = 0;
};

struct PublishConfig {
  MqttConfig mqtt;
  MetricsConfig metrics;
};

// Parses the file's text. Relative file names are taken from folder (ending
// with '/'); the password file is read here. False with a message naming the
// line or the setting at fault; *config is then left with nothing enabled.
bool ParsePublishConfig(const std::string& text, const std::string& folder,
                        PublishConfig* config, std::string* error);

enum class PublishConfigRead { Absent, Loaded, Refused };

// Reads folder + publish.conf. Absent leaves nothing enabled; Refused says
// why in *error.
PublishConfigRead LoadPublishConfig(const std::string& folder, PublishConfig* config,
                                    std::string* error);

}  // namespace velrix
