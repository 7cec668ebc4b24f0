#include "tests/e2e/power_cut_fixture.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <fstream>

#include "settings/settings.h"
#include "settings/settings_files.h"
#include "tests/support/recording_messages.h"

namespace velrix::testing::e2e {
namespace {

constexpr double kMountSeconds = 20.0;
constexpr char kNote[] = "program/data.tmp.target";
constexpr char kWorking[] = "program/data.tmp";
constexpr char kPartSuffix[] = ".part";
constexpr char kLineEnd[] = "\r\n";
constexpr int kHeaderLines = 5;
// Not needed by any check, and the largest file a cut would copy.
constexpr char kWarningSound[] = "VelrixWarning.wav";

const char* const kSettingsNames[] = {"df_name.def", "dsp_unit.def",  "trend.def",
                                      "comment.def", "warning.def",   "buzzer.def",
                                      "aut_start.def", "COMRTY.def",  "POWevent.def"};

std::string ForgetfulFsProgram() {
  return BuildFolder() + "/tests/support/forgetful_fs/forgetful_fs";
}

std::string Decimal(double value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

bool IsMountPoint(const std::string& path) {
  struct stat here {}, parent {};
  return ::stat(path.c_str(), &here) == 0 &&
         ::stat(fs::path(path).parent_path().c_str(), &parent) == 0 &&
         here.st_dev != parent.st_dev;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

int Rows(const std::string& bytes) {
  int lines = 0;
  for (std::size_t at = bytes.find(kLineEnd); at != std::string::npos;
       at = bytes.find(kLineEnd, at + 2)) {
    ++lines;
  }
  return std::max(0, lines - kHeaderLines);
}

bool IsSettingsFile(const std::string& path) {
  for (const char* name : kSettingsNames) {
    if (path == std::string("program/") + name) return true;
  }
  return false;
}

// The dated file a note names, relative to the mount point ("" for none).
std::string NotedFile(const Files& tree, const std::string& mountPoint) {
  const auto note = tree.find(kNote);
  if (note == tree.end() || !StartsWith(note->second, mountPoint + "/")) return "";
  return note->second.substr(mountPoint.size() + 1);
}

std::string FirstWord(const std::string& bytes) {
  const char* space = " \t\n\v\f\r";
  const std::size_t start = bytes.find_first_not_of(space);
  if (start == std::string::npos) return "";
  const std::size_t end = bytes.find_first_of(space, start);
  return bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

ForgetfulMount::ForgetfulMount(const std::string& tree, const std::string& mountPoint,
                               const std::string& logPath, const std::string& snapshots,
                               const CutDraw& draw)
    : mountPoint_(mountPoint), logPath_(logPath) {
  fs::create_directories(mountPoint);
  std::vector<std::string> args = {"--from", tree};
  if (!snapshots.empty()) {
    fs::create_directories(snapshots);
    args.insert(args.end(), {"--snapshots", snapshots, "--seed", std::to_string(draw.seed),
                             "--rename-rate", Decimal(draw.renameRate), "--meta-rate",
                             Decimal(draw.metaRate), "--data-rate",
                             Decimal(draw.dataRate), "--max-cuts", std::to_string(draw.maxCuts)});
  }
  args.push_back(mountPoint);
  daemon_ = std::make_unique<Child>(ForgetfulFsProgram(), args,
                                    std::vector<std::string>{"PATH=/usr/bin:/bin"}, logPath);
  mounted_ = WaitUntil([&] { return IsMountPoint(mountPoint_) || !daemon_->Running(); },
                       kMountSeconds) &&
             IsMountPoint(mountPoint_);
}

ForgetfulMount::~ForgetfulMount() {
  if (mounted_) Unmount();
}

std::string ForgetfulMount::Log() const { return ReadBytes(logPath_); }

bool ForgetfulMount::Unmount() {
  if (!mounted_) return false;
  Child unmount("/usr/bin/fusermount3", {"-u", mountPoint_}, {"PATH=/usr/bin:/bin"},
                logPath_ + ".unmount");
  const bool unmounted = ExitedWith(unmount.WaitExit(kExitSeconds), 0);
  const bool ended = daemon_->WaitExit(kExitSeconds).has_value();
  mounted_ = IsMountPoint(mountPoint_);
  return unmounted && ended && !mounted_;
}

CutStation::CutStation() {
  const std::string program = Tree() + "/program/";
  fs::create_directories(program);
  fs::create_directories(Tree() + "/base");
  for (const auto& entry : fs::directory_iterator(station_.program())) {
    if (entry.path().filename() == kWarningSound) continue;
    fs::copy_file(entry.path(), program + entry.path().filename().string());
  }
  // The data folder below the mount point, where the programs will find it.
  Settings settings;
  SetDefaultFolders(settings, program, MountPoint() + "/base");
  RecordingMessages messages;
  SaveDataFolder(settings, messages);
  EXPECT_TRUE(messages.Shown().empty());
}

std::vector<std::string> CutStation::CutFolders() const {
  std::vector<std::string> folders;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Cuts(), ec)) {
    if (entry.is_directory()) folders.push_back(entry.path().string());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

std::unique_ptr<Child> StartRecorderOn(const CutStation& station, const SharedClock* clock,
                                       const std::string& outputName,
                                       const std::vector<std::string>& extraEnv) {
  const Station& s = station.station();
  std::vector<std::string> args = {"--port", clock ? s.UnitLink() : s.temp().File("no-unit"),
                                   "--program-folder", station.Program()};
  if (clock != nullptr) {
    const std::vector<std::string> clockArgs = clock->Args();
    args.insert(args.end(), clockArgs.begin(), clockArgs.end());
  }
  std::vector<std::string> env = s.Env();
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  return std::make_unique<Child>(RecorderProgram(), args, env, s.temp().File(outputName));
}

std::optional<int> StopOnceListening(Child& child) {
  const std::string status = "/proc/" + std::to_string(child.Pid()) + "/status";
  WaitUntil(
      [&] {
        const std::string text = ReadBytes(status);
        const std::size_t at = text.find("SigCgt:");
        if (at == std::string::npos) return !child.Running();
        const unsigned long long caught = std::stoull(text.substr(at + 7), nullptr, 16);
        return (caught & (1ull << (SIGTERM - 1))) != 0;
      },
      kStartSeconds);
  child.Signal(SIGTERM);
  return child.WaitExit(kExitSeconds);
}

Files ReadTree(const std::string& root) {
  Files files;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), root).generic_string()] = ReadBytes(entry.path().string());
    }
  }
  return files;
}

void NoteSettings(const std::string& programFolder, SettingsVersions* versions) {
  for (const char* name : kSettingsNames) {
    std::vector<std::string>& list = (*versions)[name];
    const std::string now = ReadBytes(programFolder + name);
    if (list.empty() || list.back() != now) list.push_back(now);
  }
}

std::size_t WholeLines(const std::string& bytes) {
  const std::string beforeNul = bytes.substr(0, bytes.find('\0'));
  const std::size_t end = beforeNul.rfind(kLineEnd);
  return end == std::string::npos ? 0 : end + 2;
}

std::string ExpectedReport(const Files& durable, const std::string& workingPath) {
  const auto note = durable.find(kNote);
  const auto working = durable.find(kWorking);
  if (note == durable.end() || note->second.empty() || working == durable.end()) return "";
  const std::string& bytes = working->second;
  const std::size_t whole = WholeLines(bytes);
  // A copy whose whole lines are no data file is left out as a whole.
  if (FirstWord(bytes.substr(0, whole)) != "2.00") {
    if (bytes.empty()) return "";
    return "測定データファイル[" + workingPath + "]は、破損していたので[" + note->second +
           "]に書き込みませんでした。";
  }
  if (whole == bytes.size()) return "";
  return "測定データファイル[" + workingPath + "]の末尾" + std::to_string(bytes.size() - whole) +
         "バイトは途切れた行のため、[" + note->second + "]に書き込みませんでした。";
}

std::string CutProblems(const Files& live, const Files& after, const SettingsVersions& versions,
                        const std::string& mountPoint) {
  std::vector<std::string> problems;
  const std::string running = NotedFile(live, mountPoint);
  // Every file committed before the cut, byte for byte.
  for (const auto& [path, bytes] : live) {
    // A half-made file is no committed one.
    if (!StartsWith(path, "base/") || path == running || EndsWith(path, kPartSuffix)) continue;
    const auto found = after.find(path);
    if (found == after.end()) {
      problems.push_back(path + ": committed before the cut (" + std::to_string(Rows(bytes)) +
                         " rows), gone after it");
    } else if (found->second != bytes) {
      problems.push_back(path + ": committed with " + std::to_string(Rows(bytes)) +
                         " rows, holds " + std::to_string(Rows(found->second)) +
                         " rows (or other bytes) after the cut");
    }
  }
  // The running file: the working copy's rows, but the last.
  if (!running.empty()) {
    const auto working = live.find(kWorking);
    const std::string rows = working == live.end() ? "" : working->second;
    const auto found = after.find(running);
    const std::string kept = found == after.end() ? "" : found->second;
    const auto committed = live.find(running);
    if (!StartsWith(rows, kept) || WholeLines(kept) != kept.size()) {
      problems.push_back(running + ": not the working copy's whole lines after the cut");
    } else if (Rows(rows) - Rows(kept) > kPowerCutLostRows) {
      problems.push_back(running + ": " + std::to_string(Rows(rows) - Rows(kept)) + " of " +
                         std::to_string(Rows(rows)) + " rows of the running day lost");
    }
    if (committed != live.end() && !StartsWith(kept, committed->second)) {
      problems.push_back(running + ": rows committed before the cut lost");
    }
  }
  for (const auto& [path, bytes] : after) {
    if (EndsWith(path, kPartSuffix)) {
      problems.push_back(path + ": a half-made file in sight");
    } else if (StartsWith(path, "base/") && path != running && live.count(path) == 0) {
      problems.push_back(path + ": a data file the programs never committed");
    }
  }
  if (after.count(kNote) != 0) problems.push_back("the working copy's note stands after the start");
  // Every settings file holds the version of the cut or the one before.
  for (const auto& [name, list] : versions) {
    const std::string path = "program/" + name;
    const auto now = after.find(path);
    const auto then = live.find(path);
    if (now == after.end() || now->second.empty()) {
      problems.push_back(path + ": empty or gone after the cut");
      continue;
    }
    const auto at = then == live.end() ? list.rend() : std::find(list.rbegin(), list.rend(), then->second);
    const bool isThen = at != list.rend() && now->second == *at;
    const bool isBefore = at != list.rend() && std::next(at) != list.rend() && now->second == *std::next(at);
    if (!isThen && !isBefore) problems.push_back(path + ": neither its old nor its new contents");
  }
  // The files a program only reads stay as they were.
  for (const auto& [path, bytes] : live) {
    if (!StartsWith(path, "program/") || IsSettingsFile(path) || path == kWorking ||
        path == kNote || EndsWith(path, kPartSuffix)) {
      continue;
    }
    const auto found = after.find(path);
    if (found == after.end() || found->second != bytes) problems.push_back(path + ": changed");
  }
  return Join(problems);
}

}  // namespace velrix::testing::e2e
