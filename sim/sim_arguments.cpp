// The velrix-unitsim command line.

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim/sim_protocol.h"
#include "sim/sim_unit.h"

namespace velrix::sim {
namespace {

constexpr int kMaxReplyDelayMs = 60000;

bool ParseInt(const std::string& text, long low, long high, long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

bool ParseSeconds(const std::string& text, double* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < 0.0) return false;
  *value = v;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "FF00A5", "ff 00 a5", "FF,00,A5", "ff:00:a5": pairs of hex digits.
bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>* bytes) {
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == ',' || c == ':') continue;
    if (HexDigit(c) < 0) return false;
    digits += c;
  }
  if (digits.empty() || digits.size() % 2 != 0) return false;
  bytes->clear();
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes->push_back(static_cast<std::uint8_t>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1])));
  }
  return true;
}

bool ReadCountsFile(const std::string& path, std::vector<int>* counts, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read the counts file " + path;
    return false;
  }
  counts->clear();
  std::string word;
  while (in >> word) {
    long v = 0;
    if (!ParseInt(word, 0, kMaxCount, &v)) {
      *error = "the counts file " + path + " holds \"" + word + "\", not a count 0-8191";
      return false;
    }
    counts->push_back(static_cast<int>(v));
  }
  if (counts->empty()) {
    *error = "the counts file " + path + " holds no counts";
    return false;
  }
  return true;
}

}  // namespace

std::string SimUsage() {
  return
      "usage: velrix-unitsim [options]\n"
      "Simulated USB unit on a pseudo-terminal. The first output line is the\n"
      "device path to open; runs until SIGINT/SIGTERM or a scheduled hang-up.\n"
      "\n"
      "Counts (one of):\n"
      "  --count N              constant count per second, 0-8191 (default 5)\n"
      "  --random MEAN          random counts around MEAN (Poisson)\n"
      "  --seed S               seed of the random counts (default 1)\n"
      "  --counts-file FILE     whitespace-separated counts, played and repeated\n"
      "Unit state:\n"
      "  --limit                set the measurement-limit flag in count frames\n"
      "  --battery-low          start with the battery voltage low\n"
      "  --solar-low            start with the solar supply insufficient\n"
      "Schedule (seconds after start, fractions allowed):\n"
      "  --battery-low-at SEC   --battery-normal-at SEC\n"
      "  --solar-low-at SEC     --solar-ok-at SEC\n"
      "  --limit-on-at SEC      --limit-off-at SEC\n"
      "  --silence FROM-TO      neither replies nor frames from FROM to TO\n"
      "  --hangup-at SEC        close the terminal and exit\n"
      "Faults:\n"
      "  --fast EVERY           every EVERY-th second an extra count frame\n"
      "  --slow EVERY           every EVERY-th second no count frame\n"
      "  --stray HEXBYTES       stray bytes between frames (e.g. FF00)\n"
      "  --stray-every N        after every N-th frame (default 1)\n"
      "  --reply-delay MS       delay every reply, 0-60000 ms\n"
      "  --wrong-echo           answer GetBuzzer with bit 0 inverted\n"
      "  --short-start          answer StartCount with 50 00 instead of 50 FF\n"
      "Other:\n"
      "  --link PATH            symbolic link to the device at PATH\n"
      "  --sent-log FILE        append \"<unit second> <count>\" per count frame sent\n"
      "  --help                 this text\n"
      "  --version              the program's version\n";
}

bool ParseSimArguments(const std::vector<std::string>& args, SimConfig* config,
                       std::string* error) {
  SimConfig parsed;
  std::string sink;
  std::string& message = error != nullptr ? *error : sink;
  int countSources = 0;
  bool strayEveryGiven = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        message = option + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    auto integer = [&](long low, long high, long* out) {
      std::string text;
      if (!value(&text)) return false;
      if (!ParseInt(text, low, high, out)) {
        message = option + ": \"" + text + "\" is not a whole number " + std::to_string(low) +
                  "-" + std::to_string(high);
        return false;
      }
      return true;
    };
    auto scheduled = [&](TimedChange::What what) {
      std::string text;
      double at = 0.0;
      if (!value(&text)) return false;
      if (!ParseSeconds(text, &at)) {
        message = option + ": \"" + text + "\" is not a number of seconds";
        return false;
      }
      parsed.schedule.push_back({at, what});
      return true;
    };

    long n = 0;
    std::string text;
    if (option == "--count") {
      if (!integer(0, kMaxCount, &n)) return false;
      parsed.counts.kind = CountSource::Kind::Constant;
      parsed.counts.constant = static_cast<int>(n);
      ++countSources;
    } else if (option == "--random") {
      if (!value(&text)) return false;
      double mean = 0.0;
      if (!ParseSeconds(text, &mean) || mean > kMaxCount) {
        message = option + ": \"" + text + "\" is not a mean count 0-8191";
        return false;
      }
      parsed.counts.kind = CountSource::Kind::Random;
      parsed.counts.mean = mean;
      ++countSources;
    } else if (option == "--seed") {
      if (!integer(0, 4294967295L, &n)) return false;
      parsed.counts.seed = static_cast<std::uint32_t>(n);
    } else if (option == "--counts-file") {
      if (!value(&text)) return false;
      if (!ReadCountsFile(text, &parsed.counts.sequence, &message)) return false;
      parsed.counts.kind = CountSource::Kind::Sequence;
      ++countSources;
    } else if (option == "--limit") {
      parsed.limitFlag = true;
    } else if (option == "--battery-low") {
      parsed.batteryLow = true;
    } else if (option == "--solar-low") {
      parsed.solarReached = false;
    } else if (option == "--battery-low-at") {
      if (!scheduled(TimedChange::What::BatteryLow)) return false;
    } else if (option == "--battery-normal-at") {
      if (!scheduled(TimedChange::What::BatteryNormal)) return false;
    } else if (option == "--solar-low-at") {
      if (!scheduled(TimedChange::What::SolarInsufficient)) return false;
    } else if (option == "--solar-ok-at") {
      if (!scheduled(TimedChange::What::SolarReached)) return false;
    } else if (option == "--limit-on-at") {
      if (!scheduled(TimedChange::What::LimitOn)) return false;
    } else if (option == "--limit-off-at") {
      if (!scheduled(TimedChange::What::LimitOff)) return false;
    } else if (option == "--hangup-at") {
      if (!scheduled(TimedChange::What::HangUp)) return false;
    } else if (option == "--silence") {
      if (!value(&text)) return false;
      const std::size_t dash = text.find('-');
      double from = 0.0, to = 0.0;
      if (dash == std::string::npos || !ParseSeconds(text.substr(0, dash), &from) ||
          !ParseSeconds(text.substr(dash + 1), &to) || !(to > from)) {
        message = option + ": \"" + text + "\" is not FROM-TO seconds with TO after FROM";
        return false;
      }
      parsed.schedule.push_back({from, TimedChange::What::SilenceOn});
      parsed.schedule.push_back({to, TimedChange::What::SilenceOff});
    } else if (option == "--fast") {
      if (!integer(1, 1000000, &n)) return false;
      parsed.fastEvery = static_cast<int>(n);
    } else if (option == "--slow") {
      if (!integer(1, 1000000, &n)) return false;
      parsed.slowEvery = static_cast<int>(n);
    } else if (option == "--stray") {
      if (!value(&text)) return false;
      if (!ParseHexBytes(text, &parsed.strayBytes)) {
        message = option + ": \"" + text + "\" is not pairs of hex digits";
        return false;
      }
    } else if (option == "--stray-every") {
      if (!integer(1, 1000000, &n)) return false;
      parsed.strayEvery = static_cast<int>(n);
      strayEveryGiven = true;
    } else if (option == "--reply-delay") {
      if (!integer(0, kMaxReplyDelayMs, &n)) return false;
      parsed.replyDelayMs = static_cast<int>(n);
    } else if (option == "--wrong-echo") {
      parsed.wrongBuzzerEcho = true;
    } else if (option == "--short-start") {
      parsed.startCountLongForm = false;
    } else if (option == "--link") {
      if (!value(&text)) return false;
      if (text.empty()) {
        message = option + " needs a path";
        return false;
      }
      parsed.linkPath = text;
    } else if (option == "--sent-log") {
      if (!value(&text)) return false;
      if (text.empty()) {
        message = option + " needs a path";
        return false;
      }
      parsed.sentLogPath = text;
    } else {
      message = "unknown option \"" + option + "\" (see --help)";
      return false;
    }
  }

  if (countSources > 1) {
    message = "give only one of --count, --random and --counts-file";
    return false;
  }
  if (strayEveryGiven && parsed.strayBytes.empty()) {
    message = "--stray-every needs --stray";
    return false;
  }
  if (!parsed.strayBytes.empty() && !strayEveryGiven) parsed.strayEvery = 1;
  *config = std::move(parsed);
  return true;
}

}  // namespace velrix::sim
