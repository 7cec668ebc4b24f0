// The command-line manners shared by every program: which of --help and
// --version is asked, and the version printed.

#include <gtest/gtest.h>

#include <regex>

#include "platform/command_line.h"

namespace velrix {
namespace {

TEST(FindHelpOrVersion, NothingAskedWithoutEither) {
  EXPECT_EQ(FindHelpOrVersion({}), HelpOrVersion::None);
  EXPECT_EQ(FindHelpOrVersion({"--simulate", "--port", "/dev/ttyUSB0"}), HelpOrVersion::None);
  EXPECT_EQ(FindHelpOrVersion({"--helpme", "--versions", "help"}), HelpOrVersion::None);
}

TEST(FindHelpOrVersion, EitherIsFoundWhereverItStandsAndTheFirstWins) {
  EXPECT_EQ(FindHelpOrVersion({"--simulate", "--help"}), HelpOrVersion::Help);
  EXPECT_EQ(FindHelpOrVersion({"-h"}), HelpOrVersion::Help);
  EXPECT_EQ(FindHelpOrVersion({"--bogus", "--version"}), HelpOrVersion::Version);
  EXPECT_EQ(FindHelpOrVersion({"--version", "--help"}), HelpOrVersion::Version);
  EXPECT_EQ(FindHelpOrVersion({"--help", "--version"}), HelpOrVersion::Help);
}

TEST(ProgramVersion, IsTheProjectsThreePartVersion) {
  EXPECT_TRUE(std::regex_match(ProgramVersion(), std::regex("[0-9]+\\.[0-9]+\\.[0-9]+")))
      << ProgramVersion();
}

}  // namespace
}  // namespace velrix
