#include "link/device_search.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>

#include "link/port_names.h"
#include "platform/trace.h"

namespace velrix {
namespace fs = std::filesystem;

namespace {

constexpr char kUsbDevicesFolder[] = "/bus/usb/devices";
constexpr char kUsbDriversFolder[] = "/bus/usb/drivers/";

// A sysfs attribute is one short line; anything longer is not an attribute we
// know, so reading stops there rather than taking in a stray large file.
constexpr std::size_t kAttributeMaxLength = 64;

std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::string line;
  char c = 0;
  while (in.get(c) && c != '\n') {
    if (line.size() >= kAttributeMaxLength) return std::nullopt;
    line.push_back(c);
  }
  if (in.bad()) return std::nullopt;
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

bool WriteAttribute(const fs::path& file, const std::string& value) {
  // sysfs attributes exist before they are written; never create one.
  std::error_code ec;
  if (!fs::exists(file, ec)) return false;
  std::ofstream out(file);
  if (!out) return false;
  out << value << std::flush;
  return static_cast<bool>(out);
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Enumeration order key of a USB device name: "3-1.10.2" is bus 3, ports
// 1, 10, 2; a root hub "usb3" is bus 3 with no ports. Names of any other
// shape sort after all of these, by name.
struct EnumerationKey {
  bool parsed = false;
  long bus = 0;
  std::vector<long> ports;
  std::string name;
};

bool ParseNumber(const std::string& text, std::size_t& pos, long& value) {
  if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return false;
  value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    if (value > 100000) return false;
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return true;
}

EnumerationKey KeyOf(const std::string& name) {
  EnumerationKey key;
  key.name = name;
  std::size_t pos = 0;
  if (name.rfind("usb", 0) == 0) {
    pos = 3;
    key.parsed = ParseNumber(name, pos, key.bus) && pos == name.size();
    return key;
  }
  if (!ParseNumber(name, pos, key.bus) || pos >= name.size() || name[pos] != '-') return key;
  ++pos;
  for (;;) {
    long port = 0;
    if (!ParseNumber(name, pos, port)) return key;
    key.ports.push_back(port);
    if (pos == name.size()) break;
    if (name[pos] != '.') return key;
    ++pos;
  }
  key.parsed = true;
  return key;
}

bool EnumeratedBefore(const EnumerationKey& a, const EnumerationKey& b) {
  if (a.parsed != b.parsed) return a.parsed;
  if (!a.parsed) return a.name < b.name;
  if (a.bus != b.bus) return a.bus < b.bus;
  if (a.ports != b.ports) return a.ports < b.ports;
  return a.name < b.name;
}

bool IsInterfaceName(const std::string& name) { return name.find(':') != std::string::npos; }

// The device's interfaces ("1-1.2:1.0", ...) in name order; the serial port
// function of an FT232R is its only interface.
std::vector<fs::path> InterfacesOf(const UnitUsbDevice& device) {
  std::vector<fs::path> interfaces;
  std::error_code ec;
  const std::string prefix = device.name + ":";
  for (fs::directory_iterator it(device.path, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) == 0) interfaces.push_back(it->path());
  }
  std::sort(interfaces.begin(), interfaces.end());
  return interfaces;
}

bool EnsureAuthorised(const fs::path& device) {
  const fs::path attribute = device / "authorized";
  const std::optional<std::string> value = ReadAttribute(attribute);
  if (!value) {
    TraceF("USB device %s: authorized cannot be read", device.filename().c_str());
    return false;
  }
  if (*value == "1") return true;
  if (*value != "0") {
    TraceF("USB device %s: authorized is \"%s\"", device.filename().c_str(), value->c_str());
    return false;
  }
  if (!WriteAttribute(attribute, "1")) {
    TraceF("USB device %s: cannot be authorised", device.filename().c_str());
    return false;
  }
  return true;
}

bool EnsureDriverBound(const std::string& sysfsRoot, const fs::path& interface) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(interface / "driver", ec))) return true;
  const fs::path bind = fs::path(sysfsRoot + kUsbDriversFolder) / kUnitSerialDriver / "bind";
  if (!WriteAttribute(bind, interface.filename().string())) {
    TraceF("USB interface %s: cannot be bound to %s", interface.filename().c_str(),
           kUnitSerialDriver);
    return false;
  }
  return true;
}

}  // namespace

std::vector<UnitUsbDevice> ListUnitUsbDevices(const std::string& sysfsRoot) {
  std::vector<std::pair<EnumerationKey, UnitUsbDevice>> found;
  std::error_code ec;
  for (fs::directory_iterator it(sysfsRoot + kUsbDevicesFolder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (IsInterfaceName(name)) continue;
    const std::optional<std::string> vendor = ReadAttribute(it->path() / "idVendor");
    const std::optional<std::string> product = ReadAttribute(it->path() / "idProduct");
    if (!vendor || !product) continue;
    if (!EqualsIgnoringCase(*vendor, kUnitVendorId) || !EqualsIgnoringCase(*product, kUnitProductId))
      continue;
    found.push_back({KeyOf(name), UnitUsbDevice{name, it->path().string()}});
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return EnumeratedBefore(a.first, b.first); });
  std::vector<UnitUsbDevice> devices;
  for (auto& entry : found) devices.push_back(std::move(entry.second));
  return devices;
}

bool EnsureDeviceStarted(const std::string& sysfsRoot, const std::string& nodePath) {
  const fs::path node(nodePath);
  if (IsInterfaceName(node.filename().string())) return EnsureDriverBound(sysfsRoot, node);
  return EnsureAuthorised(node);
}

int UnitPortNumber(const std::string& sysfsRoot, const UnitUsbDevice& device) {
  const std::vector<fs::path> interfaces = InterfacesOf(device);
  if (interfaces.empty()) return 0;
  const fs::path& port = interfaces.front();
  if (!EnsureDeviceStarted(sysfsRoot, port.string())) return 0;
  // The ttyUSB node appears below the interface once the driver has bound;
  // of several (never seen on an FT232R) the lowest number wins.
  int number = 0;
  std::error_code ec;
  for (fs::directory_iterator it(port, ec), end; !ec && it != end; it.increment(ec)) {
    const int n = PortNumberOfTtyName(it->path().filename().string());
    if (n != 0 && (number == 0 || n < number)) number = n;
  }
  return number;
}

std::vector<int> FindUnitPorts(const LinkConfig& config) {
  std::vector<int> ports;
  if (!config.overridePort.empty()) {
    std::error_code ec;
    if (fs::exists(config.overridePort, ec)) ports.push_back(kOverridePortNumber);
    return ports;
  }
  for (const UnitUsbDevice& device : ListUnitUsbDevices(config.sysfsRoot)) {
    // A device that cannot be authorised is passed over; the next unit may
    // still be usable.
    if (!EnsureDeviceStarted(config.sysfsRoot, device.path)) continue;
    // A unit without a usable port ends the search, as a unit whose port
    // function has not come up yet would be found by the next search anyway.
    const int number = UnitPortNumber(config.sysfsRoot, device);
    if (number == 0) break;
    ports.push_back(number);
    if (static_cast<int>(ports.size()) == kMaxDetectedPorts) break;
  }
  return ports;
}

int SearchUnitPorts(UnitLinkState& state, const LinkConfig& config) {
  const std::vector<int> ports = FindUnitPorts(config);
  const int count = static_cast<int>(ports.size());
  for (int i = 0; i < count; ++i) state.detectedPorts[i].store(ports[i]);
  for (int i = count; i < kMaxDetectedPorts; ++i) state.detectedPorts[i].store(0);
  state.detectedCount.store(count);
  return count;
}

}  // namespace velrix
