#include "tests/e2e/servers_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "measure/dose_table.h"
#include "tests/support/program_run.h"
#include "tests/support/recording_messages.h"

namespace velrix::testing::e2e {
namespace {

constexpr double kServerStartSeconds = 30.0;
constexpr double kCommandSeconds = 20.0;
constexpr char kProbeTopic[] = "velrix-test/probe";
const std::vector<std::string> kPlainEnv = {"PATH=/usr/bin:/usr/sbin:/bin"};

std::string Run(const std::string& program, const std::vector<std::string>& args, bool* ok) {
  const ProgramRun run = RunProgram(program, args, kPlainEnv, kCommandSeconds);
  *ok = run.exitCode.has_value() && *run.exitCode == 0;
  return run.out;
}

bool PublishTo(int port, const std::string& topic, const std::string& payload) {
  bool ok = false;
  Run("/usr/bin/mosquitto_pub",
      {"-h", "127.0.0.1", "-p", std::to_string(port), "-t", topic, "-m", payload}, &ok);
  return ok;
}

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  return a;
}

bool Listening(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in a = Loopback(port);
  const bool open = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  if (fd >= 0) ::close(fd);
  return open;
}

}  // namespace

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(0);
  socklen_t length = sizeof a;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
    port = ntohs(a.sin_port);
  }
  if (fd >= 0) ::close(fd);
  return port;
}

void WritePublishConfig(const Station& station, const std::string& text) {
  WriteBytes(station.program() + "publish.conf", text);
}

TlsFiles MakeTlsFiles(const TempFolder& temp) {
  const std::string d = temp.File("tls") + "/";
  std::filesystem::create_directories(d);
  TlsFiles f{d + "ca.pem", d + "other-ca.pem", d + "server.pem", d + "server.key"};
  WriteBytes(d + "server.ext", "subjectAltName=IP:127.0.0.1\n");
  const std::vector<std::string> key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                        "-nodes"};
  const std::vector<std::vector<std::string>> steps = {
      {"req", "-x509", "-days", "2", "-subj", "/CN=Velrix test CA", "-keyout", d + "ca.key",
       "-out", f.ca},
      {"req", "-x509", "-days", "2", "-subj", "/CN=Another CA", "-keyout", d + "other-ca.key",
       "-out", f.otherCa},
      {"req", "-subj", "/CN=127.0.0.1", "-keyout", f.key, "-out", d + "server.csr"},
      {"x509", "-req", "-days", "2", "-in", d + "server.csr", "-CA", f.ca, "-CAkey", d + "ca.key",
       "-CAcreateserial", "-extfile", d + "server.ext", "-out", f.certificate}};
  for (std::vector<std::string> args : steps) {
    if (args[0] == "req") args.insert(args.begin() + 1, key.begin(), key.end());
    const ProgramRun run = RunProgram("/usr/bin/openssl", args, kPlainEnv, kCommandSeconds);
    EXPECT_TRUE(run.exitCode.has_value() && *run.exitCode == 0) << run.err;
  }
  return f;
}

Broker::Broker(const TempFolder& temp, const std::string& user, const std::string& password,
               const TlsFiles* tls)
    : folder_(temp.File("broker")), port_(FreePort()) {
  std::filesystem::create_directories(folder_);
  std::string config = "per_listener_settings false\npersistence false\nlistener " +
                       std::to_string(port_) + " 127.0.0.1\n";
  if (tls != nullptr) {
    do {
      tlsPort_ = FreePort();
    } while (tlsPort_ == port_);
    config += "listener " + std::to_string(tlsPort_) + " 127.0.0.1\ncafile " + tls->ca +
              "\ncertfile " + tls->certificate + "\nkeyfile " + tls->key + "\n";
  }
  // Started by root, mosquitto would turn into the user mosquitto, who may
  // not read the test's folder.
  if (::geteuid() == 0) config += "user root\n";
  if (user.empty()) {
    config += "allow_anonymous true\n";
  } else {
    bool ok = false;
    Run("/usr/bin/mosquitto_passwd", {"-b", "-c", folder_ + "/passwd", user, password}, &ok);
    EXPECT_TRUE(ok) << "mosquitto_passwd failed";
    config += "allow_anonymous false\npassword_file " + folder_ + "/passwd\n";
  }
  WriteBytes(folder_ + "/mosquitto.conf", config);
}

bool Broker::Start() {
  daemon_ = std::make_unique<Child>(
      "/usr/sbin/mosquitto", std::vector<std::string>{"-c", folder_ + "/mosquitto.conf"},
      kPlainEnv, folder_ + "/mosquitto-" + std::to_string(++starts_) + ".log");
  return WaitUntil([&] { return !daemon_->Running() || Listening(port_); }, kServerStartSeconds) &&
         daemon_->Running();
}

void Broker::Stop() {
  if (!daemon_) return;
  daemon_->Signal(SIGTERM);
  EXPECT_TRUE(daemon_->WaitExit(kExitSeconds).has_value());
}

std::string Broker::Output() const { return daemon_ ? daemon_->Output() : std::string(); }

Subscriber::Subscriber(const TempFolder& temp, const std::string& name, const Broker& broker,
                       const std::string& topic)
    : output_(temp.File(name)), port_(broker.Port()) {
  child_ = std::make_unique<Child>(
      "/usr/bin/mosquitto_sub",
      std::vector<std::string>{"-h", "127.0.0.1", "-p", std::to_string(port_), "-t", topic, "-t",
                               kProbeTopic, "-F", "%r %t %p"},
      kPlainEnv, output_);
}

bool Subscriber::Ready() {
  return WaitUntil(
      [&] {
        PublishTo(port_, kProbeTopic, "ready");
        return !On(kProbeTopic).empty();
      },
      kServerStartSeconds);
}

std::vector<Caught> Subscriber::Messages() const {
  std::vector<Caught> out;
  const std::string text = ReadBytes(output_);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) break;  // a line still being written
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t space = line.find(' ', 2);
    if (line.size() < 3 || (line[0] != '0' && line[0] != '1') || line[1] != ' ' ||
        space == std::string::npos) {
      continue;
    }
    out.push_back({line[0] == '1', line.substr(2, space - 2), line.substr(space + 1)});
  }
  return out;
}

std::vector<Caught> Subscriber::On(const std::string& suffix) const {
  std::vector<Caught> out;
  for (const Caught& c : Messages()) {
    if (c.topic.size() >= suffix.size() &&
        c.topic.compare(c.topic.size() - suffix.size(), suffix.size(), suffix) == 0) {
      out.push_back(c);
    }
  }
  return out;
}

bool PublishOnce(const Broker& broker, const std::string& topic, const std::string& payload) {
  return PublishTo(broker.Port(), topic, payload);
}

std::optional<std::string> HttpGet(const std::string& url) {
  bool ok = false;
  std::string body = Run("/usr/bin/curl", {"-fsS", "--max-time", "10", url}, &ok);
  if (!ok) return std::nullopt;
  return body;
}

Prometheus::Prometheus(const TempFolder& temp, int targetPort)
    : port_(FreePort()), output_(temp.File("prometheus.log")) {
  const std::string folder = temp.File("prometheus");
  std::filesystem::create_directories(folder + "/data");
  WriteBytes(folder + "/prometheus.yml",
             "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\nscrape_configs:\n"
             "  - job_name: velrix\n    static_configs:\n      - targets: ['127.0.0.1:" +
                 std::to_string(targetPort) + "']\n");
  child_ = std::make_unique<Child>(
      "/usr/bin/prometheus",
      std::vector<std::string>{"--config.file=" + folder + "/prometheus.yml",
                               "--storage.tsdb.path=" + folder + "/data",
                               "--web.listen-address=127.0.0.1:" + std::to_string(port_),
                               "--log.level=warn"},
      kPlainEnv, output_);
}

bool Prometheus::Ready() {
  const std::string url = "http://127.0.0.1:" + std::to_string(port_) + "/-/ready";
  return WaitUntil([&] { return !child_->Running() || HttpGet(url).has_value(); },
                   kServerStartSeconds) &&
         child_->Running();
}

std::optional<std::string> Prometheus::Query(const std::string& expression) const {
  bool ok = false;
  const std::string body =
      Run("/usr/bin/curl",
          {"-fsS", "--max-time", "10", "-G",
           "http://127.0.0.1:" + std::to_string(port_) + "/api/v1/query", "--data-urlencode",
           "query=" + expression},
          &ok);
  if (!ok) return std::nullopt;
  return body;
}

std::string Prometheus::Output() const { return child_->Output(); }

double StationDoseRate(const Station& station, double count) {
  static DoseTable table;
  static bool loaded = false;
  if (!loaded) {
    RecordingMessages messages;
    LoadDoseTable(table, station.program(), messages);
    loaded = true;
  }
  return DoseRate(table, count);
}

}  // namespace velrix::testing::e2e
