#pragma once
// Finding the unit's USB-serial adapters and their port numbers.
//
// The unit sits behind an FTDI FT232 bridge (USB vendor 0403, product 6001).
// On Linux the kernel describes every USB device under <sysfs>/bus/usb/devices:
// the device "1-1.2" has the attributes idVendor, idProduct and authorized,
// and its interface "1-1.2:1.0" carries the usb-serial port "ttyUSB<n>" once
// the ftdi_sio driver is bound to it. The search walks that tree; the root is
// a parameter so that tests can build a tree of their own.

#include <string>
#include <vector>

#include "link/unit_link_state.h"
#include "link/usb_comm.h"

namespace velrix {

inline constexpr char kUnitVendorId[] = "0403";
inline constexpr char kUnitProductId[] = "6001";
// The kernel driver that makes an FT232 interface a ttyUSB port.
inline constexpr char kUnitSerialDriver[] = "ftdi_sio";

// One USB device of the unit as the sysfs tree shows it.
struct UnitUsbDevice {
  std::string name;  // kernel device name, e.g. "1-1.2"
  std::string path;  // <sysfs>/bus/usb/devices/<name>
};

// The unit's USB devices in enumeration order: by bus number, then by port
// path taken number by number (1-1.2 before 1-1.10). Devices whose idVendor
// or idProduct cannot be read are left out.
std::vector<UnitUsbDevice> ListUnitUsbDevices(const std::string& sysfsRoot);

// Makes sure a device node can be used: a USB device must be authorised (a
// device with authorized = 0 is authorised by writing 1), a USB interface
// must have a driver (one without is bound to ftdi_sio). True when the node is
// usable or the kernel accepted the change; false when an attribute cannot be
// read or written. Failures are traced, never shown.
bool EnsureDeviceStarted(const std::string& sysfsRoot, const std::string& nodePath);

// Port number of a unit device's serial port: its first interface is started
// and the ttyUSB<n> below it named; 0 when there is none (yet).
int UnitPortNumber(const std::string& sysfsRoot, const UnitUsbDevice& device);

// The port numbers of the attached units in search order, at most 20. A port
// named on the command line is the only one (number 256) while it exists, and
// the USB devices are not searched then.
std::vector<int> FindUnitPorts(const LinkConfig& config);

// Stores FindUnitPorts in detectedPorts / detectedCount; returns the count.
int SearchUnitPorts(UnitLinkState& state, const LinkConfig& config);

}  // namespace velrix
