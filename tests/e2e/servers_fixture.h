#pragma once
// The outside servers the publishing cases talk to, real Debian programs
// started by the test on 127.0.0.1 and a free port: a mosquitto broker,
// mosquitto_sub catching what it passes on, and a prometheus server that
// scrapes the program's endpoint. Each runs as a Child of the case and is
// killed with it.

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"

namespace velrix::testing::e2e {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort();

// Writes the station's publish.conf.
void WritePublishConfig(const Station& station, const std::string& text);

// A CA and a certificate it signed for 127.0.0.1, made with openssl, and a
// second CA that signed nothing the broker shows.
struct TlsFiles {
  std::string ca;
  std::string otherCa;
  std::string certificate;
  std::string key;
};
TlsFiles MakeTlsFiles(const TempFolder& temp);

class Broker {
 public:
  // With a user and password, anonymous clients are refused. With TLS files
  // a second listener on TlsPort() speaks TLS with their certificate.
  Broker(const TempFolder& temp, const std::string& user = "", const std::string& password = "",
         const TlsFiles* tls = nullptr);
  int Port() const { return port_; }
  int TlsPort() const { return tlsPort_; }
  bool Start();    // (again) on the same port; true once it accepts clients
  void Stop();     // SIGTERM, and waits for the end
  std::string Output() const;

 private:
  std::string folder_;
  int port_;
  int tlsPort_ = 0;
  std::unique_ptr<Child> daemon_;
  int starts_ = 0;
};

// One message as mosquitto_sub printed it.
struct Caught {
  bool retained = false;
  std::string topic;
  std::string payload;
};

class Subscriber {
 public:
  // Subscribes to topic on the broker; true from Ready() once a probe
  // message published after the start has come back.
  Subscriber(const TempFolder& temp, const std::string& name, const Broker& broker,
             const std::string& topic = "#");
  bool Ready();
  std::vector<Caught> Messages() const;
  // Messages whose topic ends with suffix.
  std::vector<Caught> On(const std::string& suffix) const;

 private:
  std::string output_;
  int port_;
  std::unique_ptr<Child> child_;
};

// Publishes one message with mosquitto_pub; true when it was sent.
bool PublishOnce(const Broker& broker, const std::string& topic, const std::string& payload);

// GET over HTTP with curl; the body, or nothing on failure.
std::optional<std::string> HttpGet(const std::string& url);

class Prometheus {
 public:
  // Scrapes 127.0.0.1:targetPort/metrics every second.
  Prometheus(const TempFolder& temp, int targetPort);
  bool Ready();
  // The result array of an instant query, as JSON text; nothing on failure.
  std::optional<std::string> Query(const std::string& expression) const;
  std::string Output() const;

 private:
  int port_;
  std::string output_;
  std::unique_ptr<Child> child_;
};

// The shipped conversion of counts into μSv/h, read from the station.
double StationDoseRate(const Station& station, double count);

}  // namespace velrix::testing::e2e
