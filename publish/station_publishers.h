#pragma once
// Everything a program publishes of its measurement, behind one hook: the
// MQTT publisher and the Prometheus endpoint, as publish.conf in the program
// folder asks. The program starts it once its link runs, hands it each
// processed second from the cycle (a copy into a queue and a lock-free
// board, nothing that waits), and stops it after the last second.
//
// Whatever goes wrong here (a faulty publish.conf, a port in use, a broker
// away) is told through the report function and never stops recording.

#include <memory>
#include <string>

#include "measure/processed_second.h"
#include "publish/metrics_board.h"
#include "publish/mqtt_publisher.h"

namespace velrix {

class LinkSupervisor;
class MetricsServer;
struct UnitLinkState;

// What the publishers read elsewhere in the program; all outlive them.
struct PublishSources {
  const UnitLinkState* link = nullptr;
  const LinkSupervisor* supervisor = nullptr;  // may be null
  std::string unitNumber;
};

class StationPublishers {
 public:
  explicit StationPublishers(PublishReport report);
  ~StationPublishers();
  StationPublishers(const StationPublishers&) = delete;
  StationPublishers& operator=(const StationPublishers&) = delete;

  // Reads programFolder's publish.conf and starts what it sets up. Returns
  // what kept a part from starting (a faulty file, a port in use), one line
  // each, for the program to show; empty when all is well. The connection's
  // later changes go to the report function.
  std::string Start(const std::string& programFolder, const PublishSources& sources);
  // The cycle's hook, once per processed second.
  void Take(const ProcessedSecond& s);
  void Stop();

  bool MqttOn() const { return mqtt_ != nullptr; }
  bool MetricsOn() const { return metrics_ != nullptr; }
  std::string RenderMetrics() const;

 private:
  PublishReport report_;
  PublishSources sources_;
  MetricsBoard board_;
  std::unique_ptr<MqttPublisher> mqtt_;
  std::unique_ptr<MetricsServer> metrics_;
};

}  // namespace velrix
