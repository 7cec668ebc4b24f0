#include "publish/metrics_board.h"

#include "link/unit_link_state.h"
#include "platform/c_format.h"
#include "platform/command_line.h"
#include "publish/mqtt_payloads.h"

namespace velrix {
namespace {

constexpr double kSievertsPerMicrosievert = 1e-6;
constexpr double kSecondsPerHour = 3600.0;
constexpr int kSolarLowBit = 1;
constexpr int kBatteryNotNormalBit = 2;
constexpr int kLinkStates[] = {kLinkNone, kLinkOk, kLinkNg, kLinkRetriesExhausted};

double SievertsPerSecond(double microsievertsPerHour) {
  return microsievertsPerHour * kSievertsPerMicrosievert / kSecondsPerHour;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
  out += CFormatString("# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
}

void Sample(std::string& out, const char* name, double value) {
  out += CFormatString("%s %.10g\n", name, value);
}

void Metric(std::string& out, const char* name, const char* type, const char* help,
            double value) {
  Family(out, name, type, help);
  Sample(out, name, value);
}

}  // namespace

void PostSecond(MetricsBoard& b, const ProcessedSecond& s) {
  const std::uint32_t seq = b.sequence.load(std::memory_order_relaxed);
  b.sequence.store(seq + 1, std::memory_order_relaxed);
  // The odd number must be visible before any field changes.
  std::atomic_thread_fence(std::memory_order_release);
  b.seconds.store(b.seconds.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  if (s.missing) {
    b.missingSeconds.store(b.missingSeconds.load(std::memory_order_relaxed) + 1,
                           std::memory_order_relaxed);
  }
  b.counts.store(b.counts.load(std::memory_order_relaxed) + s.count, std::memory_order_relaxed);
  b.currentDose.store(s.currentDose, std::memory_order_relaxed);
  b.averageDose.store(s.averageDose, std::memory_order_relaxed);
  b.hourDose.store(s.hourDose, std::memory_order_relaxed);
  b.integratedDose.store(s.integratedDose, std::memory_order_relaxed);
  b.lastTime.store(s.time, std::memory_order_relaxed);
  b.power.store(s.power, std::memory_order_relaxed);
  b.sequence.store(seq + 2, std::memory_order_release);
}

MetricsSnapshot ReadBoard(const MetricsBoard& b) {
  MetricsSnapshot s;
  for (;;) {
    const std::uint32_t before = b.sequence.load(std::memory_order_acquire);
    if ((before & 1u) != 0) continue;
    s.seconds = b.seconds.load(std::memory_order_relaxed);
    s.missingSeconds = b.missingSeconds.load(std::memory_order_relaxed);
    s.counts = b.counts.load(std::memory_order_relaxed);
    s.currentDose = b.currentDose.load(std::memory_order_relaxed);
    s.averageDose = b.averageDose.load(std::memory_order_relaxed);
    s.hourDose = b.hourDose.load(std::memory_order_relaxed);
    s.integratedDose = b.integratedDose.load(std::memory_order_relaxed);
    s.lastTime = b.lastTime.load(std::memory_order_relaxed);
    s.power = b.power.load(std::memory_order_relaxed);
    // The reads above must be done before the sequence is looked at again.
    std::atomic_thread_fence(std::memory_order_acquire);
    if (b.sequence.load(std::memory_order_relaxed) == before) return s;
  }
}

std::string MetricsText(const MetricsSnapshot& s, const MetricsLive& live) {
  std::string out;
  out.reserve(4096);
  Family(out, "velrix_build_info", "gauge", "The program's version; always 1.");
  out += CFormatString("velrix_build_info{version=\"%s\"} 1\n", ProgramVersion());
  Metric(out, "velrix_processed_seconds_total", "counter",
         "Seconds of measurement processed and recorded.", static_cast<double>(s.seconds));
  Metric(out, "velrix_missing_seconds_total", "counter",
         "Recorded seconds for which the unit sent no count.",
         static_cast<double>(s.missingSeconds));
  Metric(out, "velrix_counts_total", "counter", "Pulses the unit counted in the processed seconds.",
         s.counts);
  Metric(out, "velrix_link_restarts_total", "counter",
         "Restarts of the unit's link by its supervisor.", static_cast<double>(live.linkRestarts));
  Metric(out, "velrix_link_retries_total", "counter",
         "Commands sent to the unit again after a failed write or reply.",
         static_cast<double>(live.linkRetries));
  Family(out, "velrix_link_state", "gauge", "The unit's link: 1 for the state it is in.");
  for (int state : kLinkStates) {
    out += CFormatString("velrix_link_state{state=\"%s\"} %d\n", LinkStateName(state),
                         live.linkStatus == state ? 1 : 0);
  }
  if (s.seconds > 0) {
    Metric(out, "velrix_current_dose_rate_sieverts_per_second", "gauge",
           "Dose rate of the last second's count.", SievertsPerSecond(s.currentDose));
    Metric(out, "velrix_average_dose_rate_sieverts_per_second", "gauge",
           "Dose rate of the moving average.", SievertsPerSecond(s.averageDose));
    Metric(out, "velrix_one_hour_dose_rate_sieverts_per_second", "gauge",
           "Dose rate of the last hour's mean.", SievertsPerSecond(s.hourDose));
    Metric(out, "velrix_integrated_dose_sieverts", "gauge",
           "Dose integrated since the measurement's start.",
           s.integratedDose * kSievertsPerMicrosievert);
    Metric(out, "velrix_battery_normal", "gauge",
           "1 when the last second found the battery voltage normal.",
           (s.power & kBatteryNotNormalBit) == 0 ? 1.0 : 0.0);
    Metric(out, "velrix_solar_sufficient", "gauge",
           "1 when the last second found the solar supply sufficient.",
           (s.power & kSolarLowBit) == 0 ? 1.0 : 0.0);
    Metric(out, "velrix_last_second_timestamp_seconds", "gauge",
           "Calendar time of the last processed second, in seconds since 1970.",
           static_cast<double>(s.lastTime));
  }
  if (live.mqttEnabled) {
    Metric(out, "velrix_mqtt_connected", "gauge", "1 while the MQTT broker is connected.",
           live.mqttConnected ? 1.0 : 0.0);
    Metric(out, "velrix_mqtt_dropped_messages_total", "counter",
           "Seconds not published to the MQTT broker (disconnected, or too far behind).",
           static_cast<double>(live.mqttDropped));
  }
  return out;
}

}  // namespace velrix
