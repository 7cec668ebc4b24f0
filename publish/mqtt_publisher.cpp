#include "publish/mqtt_publisher.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "platform/c_format.h"

namespace velrix {
namespace {

// The thread's cadence: how long one wait for the broker's socket (or, while
// disconnected, for the next attempt) lasts. Seconds come twice as slowly.
constexpr int kLoopMs = 200;
constexpr int kKeepAliveSeconds = 30;
constexpr int kFirstBackoffSeconds = 1;
constexpr int kMaxBackoffSeconds = 30;
// A broker that takes this long to answer a connection is treated as away.
constexpr std::int64_t kConnectTimeoutMs = 15000;
// Messages handed to libmosquitto but not yet out: beyond this the broker
// is too slow, and seconds are dropped instead of piling up in memory.
constexpr std::uint64_t kMaxUnsent = 256;
// At the end, how long what is queued may take to go out.
constexpr std::int64_t kFlushMs = 2000;
constexpr int kFlushLoopMs = 50;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string ReasonOf(int rc, int savedErrno, const std::string& lastError) {
  if (rc == MOSQ_ERR_ERRNO) return std::strerror(savedErrno);
  if (rc == MOSQ_ERR_TLS && !lastError.empty()) return lastError;
  return mosquitto_strerror(rc);
}

}  // namespace

MqttPublisher::MqttPublisher(const MqttConfig& config, const std::string& unitNumber,
                             PublishReport report)
    : config_(config),
      unitNumber_(unitNumber),
      stationId_(StationId(unitNumber)),
      topics_(TopicsFor(config, StationId(unitNumber))),
      report_(std::move(report)) {}

MqttPublisher::~MqttPublisher() {
  Stop();
  if (mosq_ != nullptr) mosquitto_destroy(mosq_);
  if (libraryUp_) mosquitto_lib_cleanup();
}

bool MqttPublisher::Start(std::string* error) {
  mosquitto_lib_init();
  libraryUp_ = true;
  const std::string clientId = config_.clientId.empty() ? "velrix-" + stationId_ : config_.clientId;
  mosq_ = mosquitto_new(clientId.c_str(), true, this);
  if (mosq_ == nullptr) {
    *error = "MQTT: the client cannot be made: " + std::string(std::strerror(errno));
    return false;
  }
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  mosquitto_connect_callback_set(mosq_, &MqttPublisher::OnConnect);
  mosquitto_publish_callback_set(mosq_, &MqttPublisher::OnPublish);
  mosquitto_message_callback_set(mosq_, &MqttPublisher::OnMessage);
  mosquitto_log_callback_set(mosq_, &MqttPublisher::OnLog);
  if (!config_.username.empty()) {
    mosquitto_username_pw_set(mosq_, config_.username.c_str(),
                              config_.password.empty() ? nullptr : config_.password.c_str());
  }
  // Home Assistant marks the station unavailable when the connection dies
  // without a word from it.
  mosquitto_will_set(mosq_, topics_.availability.c_str(),
                     static_cast<int>(std::strlen(kUnavailableText)), kUnavailableText,
                     config_.qos, true);
  if (!config_.caFile.empty()) {
    // The broker's certificate must be signed by the CA and name the host.
    int rc = mosquitto_tls_set(mosq_, config_.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_opts_set(mosq_, 1, nullptr, nullptr);
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_insecure_set(mosq_, false);
    if (rc != MOSQ_ERR_SUCCESS) {
      *error = "MQTT: the CA file " + config_.caFile + " cannot be used: " + mosquitto_strerror(rc);
      return false;
    }
  }
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error& e) {
    *error = std::string("MQTT: the publishing thread cannot be started: ") + e.what();
    return false;
  }
  return true;
}

void MqttPublisher::Stop() {
  stop_.Cancel();
  if (thread_.joinable()) thread_.join();
}

std::string MqttPublisher::Broker() const {
  return config_.host + CFormatString(":%d", config_.port);
}

void MqttPublisher::Run() {
  while (!stop_.Cancelled()) {
    const bool live = state_ == State::Connecting || state_ == State::Connected;
    if (!live && NowMs() >= nextAttemptMs_) Attempt();
    if (state_ == State::Connecting || state_ == State::Connected) {
      Loop();
    } else {
      stop_.SleepFor(kLoopMs);
    }
    if (state_ == State::Connected && announceWanted_) Announce();
    PublishQueued();
  }
  Flush();
}

void MqttPublisher::Attempt() {
  refusal_ = 0;
  lastError_.clear();
  const int rc = mosquitto_connect_async(mosq_, config_.host.c_str(), config_.port,
                                         kKeepAliveSeconds);
  const int savedErrno = errno;
  if (rc != MOSQ_ERR_SUCCESS) {
    Fail(State::Unreachable, ReasonOf(rc, savedErrno, lastError_));
    return;
  }
  state_ = State::Connecting;
  connectStartedMs_ = NowMs();
}

void MqttPublisher::Loop() {
  const int rc = mosquitto_loop(mosq_, kLoopMs, 1);
  const int savedErrno = errno;
  if (rc != MOSQ_ERR_SUCCESS) {
    if (refusal_ != 0) {
      Fail(State::Refused, mosquitto_connack_string(refusal_));
    } else {
      Fail(state_ == State::Connected ? State::Lost : State::Unreachable,
           ReasonOf(rc, savedErrno, lastError_));
    }
  } else if (state_ == State::Connecting && NowMs() - connectStartedMs_ > kConnectTimeoutMs) {
    mosquitto_disconnect(mosq_);
    Fail(State::Unreachable, "no answer within 15 s");
  }
}

void MqttPublisher::Fail(State state, const std::string& reason) {
  connected_.store(false);
  // Messages still inside libmosquitto are gone with the connection (or
  // sent again on the next one); either way they no longer hold back new ones.
  delivered_ = sent_;
  state_ = state;
  Report(state, reason);
  nextAttemptMs_ = NowMs() + backoffSeconds_ * 1000;
  backoffSeconds_ = std::min(backoffSeconds_ * 2, kMaxBackoffSeconds);
}

void MqttPublisher::OnConnect(mosquitto*, void* self, int rc) {
  auto* p = static_cast<MqttPublisher*>(self);
  if (rc != 0) {
    p->refusal_ = rc;
    return;
  }
  p->state_ = State::Connected;
  p->connected_.store(true);
  p->backoffSeconds_ = kFirstBackoffSeconds;
  p->announceWanted_ = true;
  if (!p->topics_.homeAssistantStatus.empty()) {
    mosquitto_subscribe(p->mosq_, nullptr, p->topics_.homeAssistantStatus.c_str(), p->config_.qos);
  }
  p->Report(State::Connected, "");
}

void MqttPublisher::OnLog(mosquitto*, void* self, int level, const char* text) {
  if ((level & MOSQ_LOG_ERR) != 0 && text != nullptr) {
    static_cast<MqttPublisher*>(self)->lastError_ = text;
  }
}

void MqttPublisher::OnPublish(mosquitto*, void* self, int) {
  static_cast<MqttPublisher*>(self)->delivered_ += 1;
}

void MqttPublisher::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto* p = static_cast<MqttPublisher*>(self);
  const std::string payload(static_cast<const char*>(message->payload),
                            static_cast<std::size_t>(std::max(message->payloadlen, 0)));
  // Home Assistant coming up again has forgotten non-retained state, and a
  // broker that lost its retained messages has forgotten the configs too.
  if (p->topics_.homeAssistantStatus == message->topic && payload == kHomeAssistantOnline) {
    p->announceWanted_ = true;
  }
}

bool MqttPublisher::Publish(const std::string& topic, const std::string& payload, bool retain) {
  const int rc = mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                   payload.data(), config_.qos, retain);
  if (rc != MOSQ_ERR_SUCCESS) return false;
  sent_ += 1;
  return true;
}

void MqttPublisher::Announce() {
  announceWanted_ = false;
  Publish(topics_.availability, kAvailableText, true);
  for (const MqttMessage& m : DiscoveryMessages(config_, stationId_, unitNumber_)) {
    Publish(m.topic, m.payload, m.retain);
  }
}

void MqttPublisher::PublishQueued() {
  ProcessedSecond s;
  while (queue_.Pop(&s)) {
    const std::uint64_t unsent = sent_ > delivered_ ? sent_ - delivered_ : 0;
    if (state_ != State::Connected || unsent >= kMaxUnsent ||
        !Publish(topics_.state, StateJson(s), false)) {
      dropped_.fetch_add(1);
    }
  }
}

void MqttPublisher::Flush() {
  if (state_ != State::Connected) {
    PublishQueued();
    return;
  }
  const std::int64_t deadline = NowMs() + kFlushMs;
  PublishQueued();
  Publish(topics_.availability, kUnavailableText, true);
  while (delivered_ < sent_ && NowMs() < deadline) {
    if (mosquitto_loop(mosq_, kFlushLoopMs, 1) != MOSQ_ERR_SUCCESS) break;
  }
  mosquitto_disconnect(mosq_);
  connected_.store(false);
}

void MqttPublisher::Report(State state, const std::string& reason) {
  // Once per change: a broker that stays away, or keeps refusing, is told
  // of once, however often it is tried again.
  if (state == reported_) return;
  reported_ = state;
  const std::string broker = Broker();
  const std::string dropped = CFormatString("%llu seconds not published so far",
                                            static_cast<unsigned long long>(Dropped()));
  std::string text;
  switch (state) {
    case State::Connected:
      text = "MQTT: publishing to " + broker + " (" + dropped + ")";
      break;
    case State::Unreachable:
      text = "MQTT: the broker at " + broker + " cannot be reached (" + reason +
             "); trying again with back-off, " + dropped;
      break;
    case State::Refused:
      text = "MQTT: the broker at " + broker + " refused the connection (" + reason +
             "); trying again with back-off, " + dropped;
      break;
    case State::Lost:
      text = "MQTT: the connection to " + broker + " was lost (" + reason +
             "); trying again with back-off, " + dropped;
      break;
    default:
      return;
  }
  if (report_) report_(text);
}

}  // namespace velrix
