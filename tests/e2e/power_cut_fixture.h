#pragma once
// What the power-cut cases share: a station whose program folder and data
// folder lie on forgetful_fs (tests/support/forgetful_fs), the file system
// that forgets at a cut what was not synced; the cuts it drew while a
// program ran; and the check of what a program, started again on a cut's
// disk, finds and leaves there against what the programs had written when
// the power went.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"

namespace velrix::testing::e2e {

// What a cut may cost the running day, as the README states it: the row
// being written when the power went.
inline constexpr int kPowerCutLostRows = 1;

// How the file system draws its cuts among the operations of a run.
struct CutDraw {
  unsigned seed = 1;
  double renameRate = 0.0;  // renames: where a file is replaced
  double metaRate = 0.0;    // other folder operations, truncations, folder syncs
  double dataRate = 0.0;    // writes and file syncs
  int maxCuts = 0;
};

// forgetful_fs serving a tree (as the disk holds it) at a mount point until
// destroyed. A cut draw with a snapshot folder takes cuts there.
class ForgetfulMount {
 public:
  ForgetfulMount(const std::string& tree, const std::string& mountPoint,
                 const std::string& logPath, const std::string& snapshots = "",
                 const CutDraw& draw = {});
  ~ForgetfulMount();
  bool Mounted() const { return mounted_; }
  std::string Log() const;
  // Unmounts and waits for the file system to end; false when it did not.
  bool Unmount();
  // SIGSTOP makes a disk that stops answering: every operation on the
  // mount waits until SIGCONT.
  void Signal(int signal) { daemon_->Signal(signal); }

 private:
  std::string mountPoint_;
  std::string logPath_;
  std::unique_ptr<Child> daemon_;
  bool mounted_ = false;
};

// The station of Station (its settings, its unit link, its child's
// environment) with the program folder and the data folder below the
// mount point: tree/ is the disk of the first mount, mnt/ the mount point,
// cuts/ the cuts drawn.
class CutStation {
 public:
  CutStation();
  const Station& station() const { return station_; }
  std::string Tree() const { return station_.temp().File("tree"); }
  std::string MountPoint() const { return station_.temp().File("mnt"); }
  std::string Cuts() const { return station_.temp().File("cuts"); }
  std::string Program() const { return MountPoint() + "/program/"; }
  std::string DataFolder() const { return MountPoint() + "/base/Velrix"; }
  std::string WorkingCopy() const { return Program() + "data.tmp"; }
  // The cuts' folders (each with durable/, live/ and cut.txt), in order.
  std::vector<std::string> CutFolders() const;

 private:
  Station station_;
};

// The recorder on the station's program folder: on the unit link (with the
// shared clock) or, with no clock, on a link where no unit answers;
// extraEnv adds to the station's environment.
std::unique_ptr<Child> StartRecorderOn(const CutStation& station, const SharedClock* clock,
                                       const std::string& outputName,
                                       const std::vector<std::string>& extraEnv = {});
// Waits until the child handles SIGTERM (its start-up is past the point
// where a stop would kill it), then stops it; its exit status.
std::optional<int> StopOnceListening(Child& child);

// Relative path (below the mount point) to bytes, for every file of a tree.
using Files = std::map<std::string, std::string>;
Files ReadTree(const std::string& root);

// The versions each settings file held in the run, in order, by file name:
// adds what the folder's settings files hold now where it changed (the
// first call, on the first mount's tree, gives the versions to start with).
using SettingsVersions = std::map<std::string, std::vector<std::string>>;
void NoteSettings(const std::string& programFolder, SettingsVersions* versions);

// The length of a working copy's whole lines (before any NUL, up to the last
// CR LF): what a restart may commit of it.
std::size_t WholeLines(const std::string& bytes);

// What a restart must have done after a cut. live: what the programs had
// written when the power went; after: the tree once the program started
// again on the disk the cut left and ended. Every dated file committed
// before the cut is there byte for byte; the running file holds the working
// copy's rows but at most kPowerCutLostRows; no other file appeared; every
// settings file holds its version of the cut or the one before, never
// nothing. Returns the problems, "" when none.
std::string CutProblems(const Files& live, const Files& after, const SettingsVersions& versions,
                        const std::string& mountPoint);

// The message a start must give for the working copy a cut left (durable),
// "" for none: its torn end, or the whole copy when what is whole of it is
// no data file, when a note names its dated file.
std::string ExpectedReport(const Files& durable, const std::string& workingPath);

}  // namespace velrix::testing::e2e
