#pragma once
// What the station says over MQTT: the topics, the JSON of one second, and
// Home Assistant's discovery configs, one per value, all retained so that a
// Home Assistant started later finds the station.
//
//   <prefix>/<id>/state          one JSON object per processed second
//   <prefix>/<id>/availability   "online" / "offline" (retained; the last will)
//   <discovery>/sensor/velrix_<id>/<value>/config
//   <discovery>/binary_sensor/velrix_<id>/<value>/config
//   <discovery>/status           Home Assistant's own "online": announce again

#include <string>
#include <vector>

#include "measure/processed_second.h"
#include "publish/publish_config.h"

namespace velrix {

inline constexpr char kAvailableText[] = "online";
inline constexpr char kUnavailableText[] = "offline";
inline constexpr char kHomeAssistantOnline[] = "online";

struct MqttMessage {
  std::string topic;
  std::string payload;
  bool retain = false;
};

struct MqttTopics {
  std::string state;
  std::string availability;
  std::string homeAssistantStatus;  // empty without discovery
};

// The station's id in topics and unique ids, from its unit number: letters,
// digits and '-' stay, every other byte becomes "_" and its two hex digits,
// so two unit numbers never share an id; "unit" for an empty number.
std::string StationId(const std::string& unitNumber);

MqttTopics TopicsFor(const MqttConfig& config, const std::string& stationId);

// The state JSON of one second, numbers with a point whatever the locale:
// {"time":...,"second":...,"count":...,"missing":...,"current":...,
//  "average":...,"hour":...,"dose":...,"link":"ok","battery_low":...,"solar_low":...}
std::string StateJson(const ProcessedSecond& s);

// The discovery configs (empty without a discovery prefix).
std::vector<MqttMessage> DiscoveryMessages(const MqttConfig& config, const std::string& stationId,
                                           const std::string& unitNumber);

// "none", "ok", "ng" or "retries_exhausted".
const char* LinkStateName(int linkStatus);

}  // namespace velrix
