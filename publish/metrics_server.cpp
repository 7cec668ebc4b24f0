#include "publish/metrics_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <cstring>

#include "platform/c_format.h"

namespace velrix {
namespace {

constexpr char kContentType[] = "text/plain; version=0.0.4; charset=utf-8";
constexpr char kNotFound[] = "Velrix serves /metrics only\n";
constexpr char kNotAllowed[] = "GET or HEAD only\n";
// Prometheus scrapes one at a time; a few more allow a person with curl.
constexpr unsigned kMaxConnections = 8;
constexpr unsigned kConnectionTimeoutSeconds = 10;

MHD_Result Reply(MHD_Connection* connection, unsigned status, const std::string& body,
                 const char* contentType) {
  MHD_Response* response = MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
  if (status == MHD_HTTP_METHOD_NOT_ALLOWED) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
  }
  const MHD_Result result = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return result;
}

MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char* method,
                  const char*, const char*, size_t*, void**) {
  const auto* server = static_cast<const MetricsServer*>(cls);
  if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
      std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
    return Reply(connection, MHD_HTTP_METHOD_NOT_ALLOWED, kNotAllowed, "text/plain");
  }
  if (std::strcmp(url, kMetricsPath) != 0) {
    return Reply(connection, MHD_HTTP_NOT_FOUND, kNotFound, "text/plain");
  }
  return Reply(connection, MHD_HTTP_OK, server->RenderNow(), kContentType);
}

}  // namespace

bool MetricsServer::Start(const MetricsConfig& config, std::string* error) {
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  const sockaddr* address = nullptr;
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL;
  const auto port = static_cast<std::uint16_t>(config.port);
  if (inet_pton(AF_INET, config.address.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    address = reinterpret_cast<const sockaddr*>(&v4);
  } else if (inet_pton(AF_INET6, config.address.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(port);
    address = reinterpret_cast<const sockaddr*>(&v6);
    flags |= MHD_USE_IPv6;
  } else {
    *error = "metrics: " + config.address + " is not a numeric IPv4 or IPv6 address";
    return false;
  }
  daemon_ = MHD_start_daemon(flags, port, nullptr, nullptr, &Answer, this, MHD_OPTION_SOCK_ADDR,
                             address, MHD_OPTION_CONNECTION_LIMIT, kMaxConnections,
                             MHD_OPTION_CONNECTION_TIMEOUT, kConnectionTimeoutSeconds,
                             MHD_OPTION_END);
  if (daemon_ == nullptr) {
    *error = "metrics: cannot listen on " + config.address + CFormatString(" port %d", config.port) +
             " (in use, or not an address of this computer)";
    return false;
  }
  return true;
}

void MetricsServer::Stop() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
}

}  // namespace velrix
