#include "launcher/front_request_listener.h"

#include "launcher/platform/front_requests.h"

namespace velrix::launcher {

FrontRequestListener::FrontRequestListener(std::string path, std::function<void()> onRequest)
    : path_(std::move(path)), fd_(ListenForFrontRequests(path_)) {
  if (fd_ < 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [fd = fd_, onRequest = std::move(onRequest)] {
                     if (TakeFrontRequests(fd)) onRequest();
                   });
}

FrontRequestListener::~FrontRequestListener() {
  notifier_.reset();
  StopListening(fd_, path_);
}

}  // namespace velrix::launcher
