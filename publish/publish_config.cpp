#include "publish/publish_config.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <vector>

#include "platform/c_format.h"
#include "platform/file_bytes.h"
#include "platform/private_file.h"

namespace velrix {
namespace {

// A configuration of a dozen lines; anything this large is not one.
constexpr std::size_t kMaxConfigBytes = 64 * 1024;
constexpr std::size_t kMaxPasswordBytes = 4096;
constexpr int kMaxQos = 2;
constexpr int kMaxPort = 65535;

constexpr const char* kKeys[] = {
    "mqtt_host",     "mqtt_port",        "mqtt_client_id",        "mqtt_username",
    "mqtt_password_file", "mqtt_tls_ca_file", "mqtt_qos",         "mqtt_topic_prefix",
    "mqtt_discovery_prefix", "metrics_port", "metrics_address"};

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const std::size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool KnownKey(const std::string& key) {
  for (const char* k : kKeys) {
    if (key == k) return true;
  }
  return false;
}

// A whole decimal number within [low, high].
bool ParseInt(const std::string& text, int low, int high, int* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

// A topic level prefix: MQTT's wildcards and the null character would make
// every topic below it invalid, and an empty level would put the station's
// topics at the root.
bool ValidTopicPrefix(const std::string& prefix) {
  if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/') return false;
  if (prefix.find("//") != std::string::npos) return false;
  return prefix.find_first_of(std::string("+#\0", 3)) == std::string::npos;
}

std::string InFolder(const std::string& folder, const std::string& path) {
  return !path.empty() && path.front() == '/' ? path : folder + path;
}

// One "key = value" setting, with the line it came from.
struct Line {
  int number = 0;
  std::string key;
  std::string value;
};

bool SplitLines(const std::string& text, std::vector<Line>* lines, std::string* error) {
  std::set<std::string> seen;
  std::size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t eq = line.find('=');
    const std::string where = CFormatString("line %d: ", number);
    if (eq == std::string::npos) {
      *error = where + "expected \"name = value\"";
      return false;
    }
    Line l{number, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
    if (!KnownKey(l.key)) {
      *error = where + "unknown setting \"" + l.key + "\"";
      return false;
    }
    if (!seen.insert(l.key).second) {
      *error = where + l.key + " is set twice";
      return false;
    }
    if (l.value.empty()) {
      *error = where + l.key + " has no value";
      return false;
    }
    lines->push_back(l);
  }
  return true;
}

bool Apply(const Line& l, const std::string& folder, PublishConfig* c, std::string* passwordFile,
           std::string* error) {
  const std::string where = CFormatString("line %d: ", l.number);
  if (l.key == "mqtt_host") {
    c->mqtt.enabled = true;
    c->mqtt.host = l.value;
  } else if (l.key == "mqtt_port" || l.key == "metrics_port") {
    int* port = l.key == "mqtt_port" ? &c->mqtt.port : &c->metrics.port;
    if (!ParseInt(l.value, 1, kMaxPort, port)) {
      *error = where + l.key + " must be a port number from 1 to 65535";
      return false;
    }
    if (l.key == "metrics_port") c->metrics.enabled = true;
  } else if (l.key == "mqtt_qos") {
    if (!ParseInt(l.value, 0, kMaxQos, &c->mqtt.qos)) {
      *error = where + "mqtt_qos must be 0, 1 or 2";
      return false;
    }
  } else if (l.key == "mqtt_topic_prefix" || l.key == "mqtt_discovery_prefix") {
    if (!ValidTopicPrefix(l.value)) {
      *error = where + l.key + " must be a topic without + or #, without empty levels";
      return false;
    }
    (l.key == "mqtt_topic_prefix" ? c->mqtt.topicPrefix : c->mqtt.discoveryPrefix) = l.value;
  } else if (l.key == "mqtt_client_id") {
    c->mqtt.clientId = l.value;
  } else if (l.key == "mqtt_username") {
    c->mqtt.username = l.value;
  } else if (l.key == "mqtt_password_file") {
    *passwordFile = InFolder(folder, l.value);
  } else if (l.key == "mqtt_tls_ca_file") {
    c->mqtt.caFile = InFolder(folder, l.value);
  } else if (l.key == "metrics_address") {
    c->metrics.address = l.value;
  }
  return true;
}

}  // namespace

bool ParsePublishConfig(const std::string& text, const std::string& folder,
                        PublishConfig* config, std::string* error) {
  *config = PublishConfig{};
  std::vector<Line> lines;
  PublishConfig c;
  std::string passwordFile;
  bool ok = SplitLines(text, &lines, error);
  for (std::size_t i = 0; ok && i < lines.size(); ++i) {
    ok = Apply(lines[i], folder, &c, &passwordFile, error);
  }
  bool mqttSettings = false;
  bool metricsAddress = false;
  for (const Line& l : lines) {
    mqttSettings = mqttSettings || (l.key != "mqtt_host" && l.key.rfind("mqtt_", 0) == 0);
    metricsAddress = metricsAddress || l.key == "metrics_address";
  }
  if (ok && mqttSettings && !c.mqtt.enabled) {
    *error = "MQTT settings are given without mqtt_host";
    ok = false;
  } else if (ok && metricsAddress && !c.metrics.enabled) {
    *error = "metrics_address is given without metrics_port";
    ok = false;
  } else if (ok && !passwordFile.empty() && c.mqtt.username.empty()) {
    *error = "mqtt_password_file needs mqtt_username";
    ok = false;
  } else if (ok && !passwordFile.empty()) {
    std::string why;
    ok = ReadPrivateFirstLine(passwordFile, kMaxPasswordBytes, &c.mqtt.password, &why);
    if (!ok) *error = "the password file " + why;
  }
  if (!ok) return false;
  if (c.mqtt.port == 0) c.mqtt.port = c.mqtt.caFile.empty() ? kMqttDefaultPort : kMqttDefaultTlsPort;
  *config = c;
  return true;
}

PublishConfigRead LoadPublishConfig(const std::string& folder, PublishConfig* config,
                                    std::string* error) {
  *config = PublishConfig{};
  const std::string path = folder + kPublishConfigName;
  std::vector<char> bytes;
  std::size_t length = 0;
  if (!ReadWholeFile(path, bytes, &length, kMaxConfigBytes)) {
    const std::vector<std::string> names = ListFolder(folder);
    if (std::find(names.begin(), names.end(), kPublishConfigName) == names.end()) {
      return PublishConfigRead::Absent;
    }
    *error = path + ": cannot be read as a file of at most 64 KiB";
    return PublishConfigRead::Refused;
  }
  if (!ParsePublishConfig(std::string(bytes.data(), length), folder, config, error)) {
    *error = path + ": " + *error;
    return PublishConfigRead::Refused;
  }
  return PublishConfigRead::Loaded;
}

}  // namespace velrix
