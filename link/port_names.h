#pragma once
// Port numbers as the link and its settings know them, mapped onto Linux
// device nodes. The number keeps the role a COM number has elsewhere (0 means
// automatic, the COM number setting stores one), and names a device as:
//   1 ... 255  the USB serial adapter ttyUSB<number - 1> under the device root
//   256        the device named on the command line with --port
// so a unit on ttyUSB0 is port 1 and the panel shows "ttyUSB0".

#include <string>

#include "link/usb_comm.h"

namespace velrix {

inline constexpr int kOverridePortNumber = 256;

// Device node for a port number ("" for a number that names nothing).
std::string PortDevicePath(const LinkConfig& config, int number);

// The name the panel shows for a port number: the device node's name below
// the device root ("ttyUSB0", "pts/3"); a --port path outside the device
// root as given.
std::string PortName(const LinkConfig& config, int number);

// Port number of a ttyUSB device name ("ttyUSB3" gives 4); 0 if it is not one.
int PortNumberOfTtyName(const std::string& ttyName);

}  // namespace velrix
