#include "link/port_names.h"

#include <cctype>

namespace velrix {
namespace {
constexpr char kTtyUsbPrefix[] = "ttyUSB";
}

std::string PortDevicePath(const LinkConfig& config, int number) {
  if (number == kOverridePortNumber) return config.overridePort;
  if (number < 1 || number > 255) return {};
  return config.devRoot + "/" + kTtyUsbPrefix + std::to_string(number - 1);
}

std::string PortName(const LinkConfig& config, int number) {
  if (number == kOverridePortNumber) {
    // The panel line has room for a short name: "pts/3", not "/dev/pts/3".
    const std::string prefix = config.devRoot + "/";
    const std::string& path = config.overridePort;
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0)
      return path.substr(prefix.size());
    return path;
  }
  if (number < 1 || number > 255) return {};
  return kTtyUsbPrefix + std::to_string(number - 1);
}

int PortNumberOfTtyName(const std::string& ttyName) {
  const std::string prefix = kTtyUsbPrefix;
  if (ttyName.size() <= prefix.size() || ttyName.compare(0, prefix.size(), prefix) != 0) return 0;
  int value = 0;
  for (std::size_t i = prefix.size(); i < ttyName.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(ttyName[i]))) return 0;
    value = value * 10 + (ttyName[i] - '0');
    if (value > 254) return 0;
  }
  return value + 1;
}

}  // namespace velrix
