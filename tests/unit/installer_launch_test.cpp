#include "session/installer_launch.hpp"

#include <windows.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/system_library.hpp"
#include "platform/test_seams.hpp"
#include "platform/text.hpp"

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(InstallerCommand, ExecutableRunsAloneAndPackageGoesThroughMsiexec) {
  const InstallerCommand exe = installerCommand(InstallerKind::Exe, L"C:\\t\\original.exe", L"C:\\windows\\system32");
  EXPECT_EQ(exe.file, L"C:\\t\\original.exe");
  EXPECT_FALSE(exe.parameters.has_value());

  const InstallerCommand msi = installerCommand(InstallerKind::Msi, L"C:\\a b\\original.msi", L"C:\\windows\\system32");
  EXPECT_EQ(msi.file, L"C:\\windows\\system32\\msiexec.exe");
  EXPECT_EQ(msi.parameters, L"/i \"C:\\a b\\original.msi\"");
  EXPECT_EQ(installerCommand(InstallerKind::Msi, L"x", L"C:\\").file, L"C:\\msiexec.exe");
}

class InstallerLaunch : public testing::Test {
 protected:
  void SetUp() override { fs::create_directories(staging); }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"ZRQ_TEST_LAUNCH_ERROR", nullptr);
    ::SetEnvironmentVariableW(L"ZRQ_TEST_ABSENT", nullptr);
    std::error_code ignored;
    fs::remove_all(staging, ignored);
  }
  // Launches and returns the failure code (0 when started) with the logged error.
  std::pair<int, nlohmann::json> launch(InstallerKind type, const fs::path& file) {
    nlohmann::json log = nlohmann::json::object();
    try {
      launchInstaller(type, file.wstring(), staging.wstring(), log);
      return {0, log.at("launchWin32Error")};
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), "安装程序未启动或已取消授权");
      return {error.code, log.at("launchWin32Error")};
    }
  }

  const fs::path staging = fs::temp_directory_path() / ("launch-" + newAttemptId());
};

TEST_F(InstallerLaunch, DeclinedStartIsACancellationOtherFailuresAreSystemFailures) {
  ::SetEnvironmentVariableW(L"ZRQ_TEST_LAUNCH_ERROR", L"1223");
  EXPECT_EQ(launch(InstallerKind::Exe, staging / "original.exe"), std::make_pair(-10, nlohmann::json(1223)));
  EXPECT_EQ(launch(InstallerKind::Msi, staging / "original.msi"), std::make_pair(-10, nlohmann::json(1223)));
  ::SetEnvironmentVariableW(L"ZRQ_TEST_LAUNCH_ERROR", L"193");
  EXPECT_EQ(launch(InstallerKind::Exe, staging / "original.exe"), std::make_pair(-9, nlohmann::json(193)));
}

TEST_F(InstallerLaunch, MissingFileFailsWithTheSystemError) {
  EXPECT_EQ(launch(InstallerKind::Exe, staging / "missing.exe"), std::make_pair(-9, nlohmann::json(2)));
}

// Windows 7 without KB2533623 (no SetDefaultDllDirectories): the search order
// without the current directory would be handed on to the installer.
TEST_F(InstallerLaunch, TheInstallerIsStartedWithTheDefaultDllSearch) {
  using Values = std::vector<std::optional<std::wstring>>;
  seams::forgetNoted();
  launch(InstallerKind::Exe, staging / "missing.exe");
  EXPECT_EQ(seams::noted(seams::Noted::DllDirectory), Values{});  // nothing to undo

  ::SetEnvironmentVariableW(L"ZRQ_TEST_ABSENT", L"SetDefaultDllDirectories");
  ASSERT_FALSE(restrictDllSearchToSystem());
  launch(InstallerKind::Exe, staging / "missing.exe");
  EXPECT_EQ(seams::noted(seams::Noted::DllDirectory), (Values{L"", std::nullopt, L""}));
}

}  // namespace
}  // namespace cv
