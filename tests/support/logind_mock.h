#pragma once
// A stand-in for logind: a private D-Bus daemon with python3-dbusmock's
// logind template on it, for a program pointed at it as its system bus
// (DBUS_SYSTEM_BUS_ADDRESS). It answers Inhibit as logind does, with a
// descriptor whose closing releases the lock, and lists the locks held.

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace velrix::testing {

class LogindMock {
 public:
  LogindMock();
  ~LogindMock();
  LogindMock(const LogindMock&) = delete;
  LogindMock& operator=(const LogindMock&) = delete;

  // Empty when the bus or the mock did not come up; Error() then says why.
  const std::string& Address() const { return address_; }
  const std::string& Error() const { return error_; }
  // The locks held, one "what|who|why|mode" each, or one "error: ..." when
  // the bus could not be asked.
  std::vector<std::string> Inhibitors() const;

 private:
  TempFolder folder_;
  std::string address_;
  std::string error_;
  pid_t daemon_ = -1;
  pid_t mock_ = -1;
};

}  // namespace velrix::testing
