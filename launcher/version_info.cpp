#include "launcher/version_info.h"

namespace velrix::launcher {

std::map<std::string, std::string> ParseVersionStrings(const std::string& data) {
  std::map<std::string, std::string> strings;
  size_t at = 0;
  while (at < data.size()) {
    const size_t keyEnd = data.find('\0', at);
    if (keyEnd == std::string::npos || keyEnd == at) break;
    const size_t valueEnd = data.find('\0', keyEnd + 1);
    if (valueEnd == std::string::npos) break;
    strings[data.substr(at, keyEnd - at)] = data.substr(keyEnd + 1, valueEnd - keyEnd - 1);
    at = valueEnd + 1;
  }
  return strings;
}

std::string LauncherTitle(const std::map<std::string, std::string>& strings) {
  const auto description = strings.find(kFileDescriptionKey);
  if (description == strings.end() || description->second.empty()) return kFallbackTitle;
  return description->second;
}

}  // namespace velrix::launcher
