#include "publish/station_publishers.h"

#include "link/unit_link_state.h"
#include "link/usb_comm_kanshi.h"
#include "publish/metrics_server.h"
#include "publish/publish_config.h"

namespace velrix {

StationPublishers::StationPublishers(PublishReport report) : report_(std::move(report)) {}

StationPublishers::~StationPublishers() { Stop(); }

std::string StationPublishers::Start(const std::string& programFolder,
                                     const PublishSources& sources) {
  sources_ = sources;
  PublishConfig config;
  std::string error;
  if (LoadPublishConfig(programFolder, &config, &error) == PublishConfigRead::Refused) {
    return error + "; nothing is published";
  }
  std::string problems;
  if (config.mqtt.enabled) {
    mqtt_ = std::make_unique<MqttPublisher>(config.mqtt, sources.unitNumber, report_);
    if (!mqtt_->Start(&error)) {
      problems += error + "; nothing is published over MQTT\n";
      mqtt_.reset();
    }
  }
  if (config.metrics.enabled) {
    metrics_ = std::make_unique<MetricsServer>([this] { return RenderMetrics(); });
    if (!metrics_->Start(config.metrics, &error)) {
      problems += error + "; no metrics are served\n";
      metrics_.reset();
    }
  }
  if (!problems.empty()) problems.pop_back();
  return problems;
}

void StationPublishers::Take(const ProcessedSecond& s) {
  if (mqtt_) mqtt_->Offer(s);
  if (metrics_) PostSecond(board_, s);
}

void StationPublishers::Stop() {
  // The endpoint first: a scrape in flight reads the publisher's counts.
  if (metrics_) metrics_->Stop();
  if (mqtt_) mqtt_->Stop();
  metrics_.reset();
  mqtt_.reset();
}

std::string StationPublishers::RenderMetrics() const {
  MetricsLive live;
  if (sources_.link != nullptr) {
    live.linkStatus = sources_.link->linkStatus.load();
    live.linkRetries = sources_.link->commandRetriesTotal.load();
  }
  if (sources_.supervisor != nullptr) {
    live.linkRestarts = static_cast<std::uint64_t>(sources_.supervisor->WriteFailureRestarts() +
                                                   sources_.supervisor->SilenceRestarts());
  }
  live.mqttEnabled = mqtt_ != nullptr;
  if (mqtt_) {
    live.mqttConnected = mqtt_->Connected();
    live.mqttDropped = mqtt_->Dropped();
  }
  return MetricsText(ReadBoard(board_), live);
}

}  // namespace velrix
