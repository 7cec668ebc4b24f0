// The velrix-unitsim program as a script would use it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "platform/system_info.h"
#include "tests/sim/raw_peer.h"

namespace velrix::sim {
namespace {

using testing::Bytes;
using testing::RawPeer;

// The program sits beside the tests in the build tree.
std::string ProgramPath() {
  const std::filesystem::path p =
      std::filesystem::path(ExecutableFolder()) / ".." / "sim" / "tool" / "velrix-unitsim";
  return std::filesystem::exists(p) ? p.lexically_normal().string() : std::string();
}

TEST(UnitsimProgram, BadArgumentsEndWithExitCodeTwo) {
  const std::string program = ProgramPath();
  if (program.empty()) GTEST_SKIP() << "velrix-unitsim not built";
  const int status = std::system((program + " --fast zero 2>/dev/null").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST(UnitsimProgram, PrintsTheDeviceFirstAnswersAndEndsAtTheScheduledHangUp) {
  const std::string program = ProgramPath();
  if (program.empty()) GTEST_SKIP() << "velrix-unitsim not built";
  std::FILE* out = popen((program + " --count 42 --hangup-at 2").c_str(), "r");
  ASSERT_NE(out, nullptr);
  char line[512] = {};
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  std::string path(line);
  while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
  {
    RawPeer pc(path);
    ASSERT_TRUE(pc.Open()) << pc.Error();
    EXPECT_EQ(pc.Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
    const RawPeer::HangUpSeen seen = pc.WaitForHangUp(10000);
    EXPECT_TRUE(seen.read == ReadStatus::Closed || seen.read == ReadStatus::Failed);
  }
  const int status = pclose(out);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace velrix::sim
