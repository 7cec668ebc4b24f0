#include "publish/mqtt_payloads.h"

#include "link/unit_link_state.h"
#include "platform/c_format.h"
#include "platform/command_line.h"

namespace velrix {
namespace {

constexpr std::uint8_t kSolarLowBit = 1;
constexpr std::uint8_t kBatteryNotNormalBit = 2;

// What Home Assistant shows for each value. No dose rate gets a
// device_class: Home Assistant has none for radiation and rejects a config
// with a wrong one.
struct SensorKind {
  const char* key;
  const char* name;
  const char* unit;
  const char* stateClass;
};
constexpr SensorKind kSensors[] = {
    {"count", "Count", "CPS", "measurement"},
    {"current", "Current dose rate", "μSv/h", "measurement"},
    {"average", "Average dose rate", "μSv/h", "measurement"},
    {"hour", "One-hour dose rate", "μSv/h", "measurement"},
    {"dose", "Integrated dose", "μSv", "total_increasing"},
};

struct BinaryKind {
  const char* key;
  const char* name;
  const char* deviceClass;
  const char* onWhen;  // Jinja test on value_json
};
constexpr BinaryKind kBinarySensors[] = {
    {"link", "Unit link", "connectivity", "value_json.link == 'ok'"},
    {"missing", "Missing second", "problem", "value_json.missing"},
    {"battery", "Battery", "battery", "value_json.battery_low"},
    {"solar", "Solar supply", "problem", "value_json.solar_low"},
};

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      out += CFormatString("\\u%04x", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

const char* JsonBool(bool b) { return b ? "true" : "false"; }

// The parts every config of the station shares: availability and device.
std::string CommonFields(const MqttTopics& topics, const std::string& stationId,
                         const std::string& unitNumber) {
  const std::string device = "velrix_" + stationId;
  return ",\"state_topic\":" + JsonString(topics.state) +
         ",\"availability_topic\":" + JsonString(topics.availability) +
         ",\"payload_available\":\"" + kAvailableText + "\",\"payload_not_available\":\"" +
         kUnavailableText + "\",\"device\":{\"identifiers\":[" + JsonString(device) +
         "],\"name\":" + JsonString("Velrix " + (unitNumber.empty() ? stationId : unitNumber)) +
         ",\"manufacturer\":\"Velrix\",\"model\":\"USB radiation monitor\",\"sw_version\":" +
         JsonString(ProgramVersion()) + "}";
}

}  // namespace

std::string StationId(const std::string& unitNumber) {
  if (unitNumber.empty()) return "unit";
  std::string id;
  for (unsigned char c : unitNumber) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-';
    id += plain ? std::string(1, static_cast<char>(c)) : CFormatString("_%02x", c);
  }
  return id;
}

MqttTopics TopicsFor(const MqttConfig& config, const std::string& stationId) {
  MqttTopics t;
  const std::string base = config.topicPrefix + "/" + stationId + "/";
  t.state = base + "state";
  t.availability = base + "availability";
  if (!config.discoveryPrefix.empty()) t.homeAssistantStatus = config.discoveryPrefix + "/status";
  return t;
}

const char* LinkStateName(int linkStatus) {
  switch (linkStatus) {
    case kLinkOk: return "ok";
    case kLinkNg: return "ng";
    case kLinkRetriesExhausted: return "retries_exhausted";
    default: return "none";
  }
}

std::string StateJson(const ProcessedSecond& s) {
  return CFormatString(
      "{\"time\":%lld,\"second\":%d,\"count\":%.10g,\"missing\":%s,\"current\":%.9g,"
      "\"average\":%.9g,\"hour\":%.9g,\"dose\":%.9g,\"link\":\"%s\",\"battery_low\":%s,"
      "\"solar_low\":%s}",
      static_cast<long long>(s.time), s.second, s.count, JsonBool(s.missing), s.currentDose,
      s.averageDose, s.hourDose, s.integratedDose, LinkStateName(s.linkStatus),
      JsonBool((s.power & kBatteryNotNormalBit) != 0), JsonBool((s.power & kSolarLowBit) != 0));
}

std::vector<MqttMessage> DiscoveryMessages(const MqttConfig& config, const std::string& stationId,
                                           const std::string& unitNumber) {
  std::vector<MqttMessage> out;
  if (config.discoveryPrefix.empty()) return out;
  const MqttTopics topics = TopicsFor(config, stationId);
  const std::string common = CommonFields(topics, stationId, unitNumber);
  const std::string node = "/velrix_" + stationId + "/";
  for (const SensorKind& k : kSensors) {
    const std::string id = "velrix_" + stationId + "_" + k.key;
    out.push_back({config.discoveryPrefix + "/sensor" + node + k.key + "/config",
                   "{\"name\":" + JsonString(k.name) + ",\"unique_id\":" + JsonString(id) +
                       ",\"object_id\":" + JsonString(id) +
                       ",\"value_template\":\"{{ value_json." + k.key +
                       " }}\",\"unit_of_measurement\":" + JsonString(k.unit) +
                       ",\"state_class\":" + JsonString(k.stateClass) + common + "}",
                   true});
  }
  for (const BinaryKind& k : kBinarySensors) {
    const std::string id = "velrix_" + stationId + "_" + k.key;
    out.push_back({config.discoveryPrefix + "/binary_sensor" + node + k.key + "/config",
                   "{\"name\":" + JsonString(k.name) + ",\"unique_id\":" + JsonString(id) +
                       ",\"object_id\":" + JsonString(id) + ",\"device_class\":" +
                       JsonString(k.deviceClass) + ",\"value_template\":" +
                       JsonString(std::string("{{ 'ON' if ") + k.onWhen + " else 'OFF' }}") +
                       ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\"" + common + "}",
                   true});
  }
  return out;
}

}  // namespace velrix
