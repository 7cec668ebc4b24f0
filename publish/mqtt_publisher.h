#pragma once
// Publishes the processed seconds to an MQTT broker through libmosquitto, on
// a thread of its own. The cycle only offers each second to the queue; the
// thread connects, publishes, announces the station to Home Assistant,
// reconnects with back-off (1 s doubling to 30 s) after a refusal or a lost
// connection, and tells each change of the connection's state once, with
// the number of seconds not published so far. Seconds that come while the
// broker is away, or while it is too slow to take what was sent, are
// dropped and counted: the measurement never waits for the broker.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/canceller.h"
#include "publish/mqtt_payloads.h"
#include "publish/publish_config.h"
#include "publish/second_queue.h"

struct mosquitto;
struct mosquitto_message;

namespace velrix {

using PublishReport = std::function<void(const std::string&)>;

class MqttPublisher {
 public:
  // unitNumber names the station (its id and its name in Home Assistant).
  MqttPublisher(const MqttConfig& config, const std::string& unitNumber, PublishReport report);
  ~MqttPublisher();
  MqttPublisher(const MqttPublisher&) = delete;
  MqttPublisher& operator=(const MqttPublisher&) = delete;

  // Sets the client up and starts the thread; false with a reason when the
  // settings cannot be used (a CA file that cannot be loaded, say).
  bool Start(std::string* error);
  // The cycle's side: copies the second into the queue, never waits.
  void Offer(const ProcessedSecond& s) { queue_.Push(s); }
  // Publishes what is queued (for a moment at most), says "offline",
  // disconnects and joins.
  void Stop();

  bool Connected() const { return connected_.load(); }
  // Seconds not published, over the publisher's life; any thread.
  std::uint64_t Dropped() const { return dropped_.load() + queue_.Refused(); }

 private:
  enum class State { Idle, Connecting, Connected, Unreachable, Refused, Lost };

  void Run();
  void Attempt();
  void Loop();
  void Fail(State state, const std::string& reason);
  void Announce();
  void PublishQueued();
  void Flush();
  bool Publish(const std::string& topic, const std::string& payload, bool retain);
  void Report(State state, const std::string& reason);
  std::string Broker() const;

  static void OnConnect(mosquitto*, void* self, int rc);
  static void OnPublish(mosquitto*, void* self, int mid);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
  static void OnLog(mosquitto*, void* self, int level, const char* text);

  MqttConfig config_;
  std::string unitNumber_;
  std::string stationId_;
  MqttTopics topics_;
  PublishReport report_;
  SecondQueue queue_;
  mosquitto* mosq_ = nullptr;
  bool libraryUp_ = false;
  std::thread thread_;
  Canceller stop_;

  // The thread's own.
  State state_ = State::Idle;
  State reported_ = State::Idle;
  int refusal_ = 0;                 // the broker's CONNACK code, 0 when it accepted
  // libmosquitto's last error line: what a TLS failure was (a certificate
  // that does not verify), which its return code does not tell.
  std::string lastError_;
  bool announceWanted_ = false;
  int backoffSeconds_ = 1;
  std::int64_t nextAttemptMs_ = 0;
  std::int64_t connectStartedMs_ = 0;
  std::uint64_t sent_ = 0;          // messages handed to libmosquitto
  std::uint64_t delivered_ = 0;     // of them, written out (QoS 0) or acknowledged

  std::atomic<bool> connected_{false};
  std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace velrix
