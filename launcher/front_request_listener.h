#pragma once
// The running launcher's side of the front request: the listening socket
// watched by the event loop, calling back for each request.

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>

namespace velrix::launcher {

class FrontRequestListener {
 public:
  FrontRequestListener(std::string path, std::function<void()> onRequest);
  ~FrontRequestListener();
  FrontRequestListener(const FrontRequestListener&) = delete;
  FrontRequestListener& operator=(const FrontRequestListener&) = delete;

  bool listening() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace velrix::launcher
