#pragma once
// The HTTP endpoint Prometheus scrapes: GET /metrics, answered from
// libmicrohttpd's own thread with the text the render function makes. It
// listens on the configured address only (127.0.0.1 unless another is
// given); every other path is 404, every other method 405.

#include <functional>
#include <string>

#include "publish/publish_config.h"

struct MHD_Daemon;

namespace velrix {

inline constexpr char kMetricsPath[] = "/metrics";

class MetricsServer {
 public:
  using Render = std::function<std::string()>;
  explicit MetricsServer(Render render) : render_(std::move(render)) {}
  ~MetricsServer() { Stop(); }
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // False with a reason when the address is not a numeric IPv4 or IPv6
  // address or cannot be listened on.
  bool Start(const MetricsConfig& config, std::string* error);
  void Stop();

  // Called by libmicrohttpd for each request; public for its callback only.
  std::string RenderNow() const { return render_(); }

 private:
  Render render_;
  MHD_Daemon* daemon_ = nullptr;
};

}  // namespace velrix
