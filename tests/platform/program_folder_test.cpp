// Where the program folder is when the command line does not say: the
// executable's folder in the build tree, the user's data folder for an
// installed program (told by share/velrix/program/ beside bin/, so that root,
// who may write anywhere, is covered too) or one whose folder cannot be
// written; the shipped files are copied in without overwriting the user's.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

const char* const kShippedNames[] = {"sv_table.def", "COMRTY.def", "POWevent.def",
                                     "VelrixWarning.wav"};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A prefix as the package installs it (bin/ and share/velrix/program/ with
// shipped files of their own made-up contents) or as the build tree has it
// (bin/ only), and a data home for the user, all in the test's folder.
class Layout {
 public:
  explicit Layout(bool installed)
      : dataHome_("XDG_DATA_HOME", temp_.File("data")), home_("HOME", temp_.File("home")) {
    fs::create_directories(bin());
    if (installed) {
      fs::create_directories(shipped());
      for (const char* name : kShippedNames) WriteBytes(shipped() + name, Shipped(name));
    }
  }
  std::string bin() const { return temp_.File("usr/bin/"); }
  std::string shipped() const { return temp_.File("usr/share/velrix/program/"); }
  std::string userFolder() const { return temp_.File("data/Velrix/"); }
  const TempFolder& temp() const { return temp_; }
  static std::string Shipped(const std::string& name) { return "shipped " + name + "\n"; }

 private:
  TempFolder temp_;
  ScopedEnv dataHome_;
  ScopedEnv home_;
};

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(UserProgramFolder, IsVelrixBelowAnAbsoluteXdgDataHome) {
  EXPECT_EQ(UserProgramFolder("/srv/data", "/home/ann"), "/srv/data/Velrix/");
  EXPECT_EQ(UserProgramFolder("/srv/data/", "/home/ann"), "/srv/data/Velrix/");
}

TEST(UserProgramFolder, FallsBackToTheHomeDataFolderWhenXdgDataHomeIsUnsetEmptyOrRelative) {
  EXPECT_EQ(UserProgramFolder(nullptr, "/home/ann"), "/home/ann/.local/share/Velrix/");
  EXPECT_EQ(UserProgramFolder("", "/home/ann"), "/home/ann/.local/share/Velrix/");
  EXPECT_EQ(UserProgramFolder("data", "/home/ann"), "/home/ann/.local/share/Velrix/");
}

TEST(ProgramFolderFacts, AnInstalledProgramIsToldByTheShippedFolderBesideBin) {
  Layout installed(true);
  const ProgramFolderFacts facts = ReadProgramFolderFacts(installed.bin());
  EXPECT_EQ(facts.executableFolder, installed.bin());
  EXPECT_EQ(facts.shippedFolder, installed.shipped());
  EXPECT_EQ(facts.userFolder, installed.userFolder());
  // The test's own folder can be written, by root as by anyone.
  EXPECT_TRUE(facts.executableFolderWritable);

  Layout buildTree(false);
  EXPECT_EQ(ReadProgramFolderFacts(buildTree.bin()).shippedFolder, "");
}

TEST(ProgramFolderFacts, AFolderTheSystemRefusesToWriteIsUnwritableEvenForRoot) {
  // Root passes permission bits, but not the kernel's own refusal for /proc.
  constexpr char kRefused[] = "/proc/self/";
  if (access(kRefused, W_OK) == 0) GTEST_SKIP() << kRefused << " is writable here";
  EXPECT_FALSE(ReadProgramFolderFacts(kRefused).executableFolderWritable);
}

TEST(ProgramFolderFacts, AFileNamedLikeTheShippedFolderDoesNotMakeAnInstallation) {
  Layout layout(false);
  fs::create_directories(layout.temp().File("usr/share/velrix"));
  WriteBytes(layout.temp().File("usr/share/velrix/program"), "not a folder");
  EXPECT_EQ(ReadProgramFolderFacts(layout.bin()).shippedFolder, "");
}

TEST(ChooseProgramFolder, TheCommandLineWinsInEveryLayout) {
  const ProgramFolderFacts installed{"/usr/bin/", true, "/usr/share/velrix/program/", "/u/Velrix/"};
  const ProgramFolderFacts readOnly{"/opt/v/", false, "", "/u/Velrix/"};
  const ProgramFolderFacts buildTree{"/src/build/", true, "", "/u/Velrix/"};
  for (const ProgramFolderFacts& facts : {installed, readOnly, buildTree}) {
    EXPECT_EQ(ChooseProgramFolder("/station/2", facts), "/station/2/");
    EXPECT_EQ(ChooseProgramFolder("/station/2/", facts), "/station/2/");
  }
}

TEST(ChooseProgramFolder, InstalledOrUnwritableUsesTheUserFolderAndTheBuildTreeItsOwn) {
  // Installed, even when the folder can be written (root).
  EXPECT_EQ(ChooseProgramFolder("", {"/usr/bin/", true, "/usr/share/velrix/program/", "/u/Velrix/"}),
            "/u/Velrix/");
  EXPECT_EQ(ChooseProgramFolder("", {"/opt/v/", false, "", "/u/Velrix/"}), "/u/Velrix/");
  EXPECT_EQ(ChooseProgramFolder("", {"/src/build/", true, "", "/u/Velrix/"}), "/src/build/");
}

TEST(PrepareProgramFolder, AnInstalledFirstStartFillsTheUserFolderAndLeavesBinAlone) {
  Layout layout(true);
  std::string error = "stale";
  EXPECT_EQ(PrepareProgramFolder("", layout.bin(), &error), layout.userFolder());
  EXPECT_EQ(error, "");
  for (const char* name : kShippedNames) {
    EXPECT_EQ(ReadBytes(layout.userFolder() + name), Layout::Shipped(name)) << name;
  }
  EXPECT_EQ(Names(layout.userFolder()).size(), std::size(kShippedNames));  // no partial copies left
  EXPECT_TRUE(Names(layout.bin()).empty());
}

TEST(PrepareProgramFolder, TheUsersFilesAreKeptAndOnlyMissingOnesCopied) {
  Layout layout(true);
  fs::create_directories(layout.userFolder());
  WriteBytes(layout.userFolder() + "COMRTY.def", "2\n9\n");
  WriteBytes(layout.userFolder() + "trend.def", "3\n4\n");
  // A copy that a killed start left unfinished is replaced, never kept.
  WriteBytes(layout.userFolder() + "sv_table.def.part", "half a ta");
  std::string error;
  PrepareProgramFolder("", layout.bin(), &error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(ReadBytes(layout.userFolder() + "COMRTY.def"), "2\n9\n");
  EXPECT_EQ(ReadBytes(layout.userFolder() + "trend.def"), "3\n4\n");
  EXPECT_EQ(ReadBytes(layout.userFolder() + "sv_table.def"), Layout::Shipped("sv_table.def"));
  EXPECT_EQ(ReadBytes(layout.userFolder() + "POWevent.def"), Layout::Shipped("POWevent.def"));
  EXPECT_FALSE(fs::exists(layout.userFolder() + "sv_table.def.part"));
}

TEST(PrepareProgramFolder, AnInstalledProgramFillsTheFolderGivenOnTheCommandLine) {
  Layout layout(true);
  const std::string given = layout.temp().File("station");
  std::string error;
  EXPECT_EQ(PrepareProgramFolder(given, layout.bin(), &error), given + "/");
  EXPECT_EQ(ReadBytes(given + "/VelrixWarning.wav"), Layout::Shipped("VelrixWarning.wav"));
  EXPECT_FALSE(fs::exists(layout.userFolder()));
}

TEST(PrepareProgramFolder, TheBuildTreeKeepsItsOwnFolderAndCopiesNothing) {
  Layout layout(false);
  const std::string given = layout.temp().File("given");
  fs::create_directories(given);
  const std::string missing = layout.temp().File("missing");
  std::string error;
  EXPECT_EQ(PrepareProgramFolder("", layout.bin(), &error), layout.bin());
  EXPECT_EQ(PrepareProgramFolder(given, layout.bin(), &error), given + "/");
  EXPECT_EQ(PrepareProgramFolder(missing, layout.bin(), &error), missing + "/");
  EXPECT_EQ(error, "");
  EXPECT_TRUE(Names(given).empty());
  EXPECT_FALSE(fs::exists(missing));  // left as it is, as before
  EXPECT_TRUE(Names(layout.bin()).empty());
  EXPECT_FALSE(fs::exists(layout.userFolder()));
}

TEST(PrepareProgramFolder, AnUnwritableFolderWithNothingShippedGetsAnEmptyUserFolder) {
  // Root writes everywhere, so the unwritable folder is told, not made.
  Layout layout(false);
  const ProgramFolderFacts facts{layout.bin(), false, "", layout.userFolder()};
  std::string error;
  EXPECT_EQ(PrepareProgramFolder("", facts, &error), layout.userFolder());
  EXPECT_EQ(error, "");
  EXPECT_TRUE(fs::is_directory(layout.userFolder()));
  EXPECT_TRUE(Names(layout.userFolder()).empty());
}

TEST(FillProgramFolder, SaysWhetherTheFolderIsWhole) {
  Layout layout(true);
  std::string error;
  EXPECT_TRUE(FillProgramFolder(layout.temp().File("a/"), layout.shipped(), &error)) << error;
  EXPECT_EQ(Names(layout.temp().File("a")).size(), std::size(kShippedNames));
  EXPECT_TRUE(FillProgramFolder(layout.temp().File("a/"), layout.shipped(), &error)) << error;
  EXPECT_TRUE(FillProgramFolder(layout.temp().File("b/"), "", &error)) << error;
  EXPECT_TRUE(fs::is_directory(layout.temp().File("b")));
  EXPECT_FALSE(FillProgramFolder(layout.temp().File("c/"), layout.temp().File("no-such/"), &error));
  EXPECT_NE(error.find("no-such"), std::string::npos) << error;
}

TEST(PrepareProgramFolder, AFolderThatCannotBeMadeIsReportedAndStillReturned) {
  Layout layout(true);
  fs::create_directories(layout.temp().File("data"));
  WriteBytes(layout.temp().File("data/Velrix"), "a file where the folder must be");
  std::string error;
  EXPECT_EQ(PrepareProgramFolder("", layout.bin(), &error), layout.userFolder());
  EXPECT_NE(error.find(layout.userFolder()), std::string::npos) << error;
  EXPECT_FALSE(FillProgramFolder(layout.userFolder(), layout.shipped(), &error));
}

TEST(FillProgramFolder, AFileThatCannotBeCopiedIsNamedAndTheOthersStillArrive) {
  Layout layout(true);
  const std::string folder = layout.temp().File("target/");
  // A folder where the conversion table's partial copy must go.
  fs::create_directories(folder + "sv_table.def.part/x");
  std::string error;
  EXPECT_FALSE(FillProgramFolder(folder, layout.shipped(), &error));
  EXPECT_NE(error.find("sv_table.def"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(folder + "sv_table.def"));
  EXPECT_EQ(ReadBytes(folder + "COMRTY.def"), Layout::Shipped("COMRTY.def"));
  EXPECT_EQ(ReadBytes(folder + "VelrixWarning.wav"), Layout::Shipped("VelrixWarning.wav"));
}

}  // namespace
}  // namespace velrix
