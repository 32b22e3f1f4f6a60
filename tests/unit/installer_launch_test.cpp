#include "session/installer_launch.hpp"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/text.hpp"

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(InstallerCommand, ExecutableRunsAloneAndPackageGoesThroughMsiexec) {
  const InstallerCommand exe = installerCommand("exe", L"C:\\t\\original.exe", L"C:\\windows\\system32");
  EXPECT_EQ(exe.file, L"C:\\t\\original.exe");
  EXPECT_FALSE(exe.parameters.has_value());
  EXPECT_FALSE(installerCommand(nullptr, L"C:\\t\\x", L"").parameters.has_value());

  const InstallerCommand msi = installerCommand("msi", L"C:\\a b\\original.msi", L"C:\\windows\\system32");
  EXPECT_EQ(msi.file, L"C:\\windows\\system32\\msiexec.exe");
  EXPECT_EQ(msi.parameters, L"/i \"C:\\a b\\original.msi\"");
  EXPECT_EQ(installerCommand("msi", L"x", L"C:\\").file, L"C:\\msiexec.exe");
}

class InstallerLaunch : public testing::Test {
 protected:
  void SetUp() override { fs::create_directories(staging); }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"ZRQ_TEST_LAUNCH_ERROR", nullptr);
    ::SetEnvironmentVariableW(L"ZRQ_INSTALLER_RECORD", nullptr);
    std::error_code ignored;
    fs::remove_all(staging, ignored);
  }
  // Launches and returns the failure code (0 when started) with the logged error.
  std::pair<int, nlohmann::json> launch(const char* type, const fs::path& file) {
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
  EXPECT_EQ(launch("exe", staging / "original.exe"), std::make_pair(-10, nlohmann::json(1223)));
  EXPECT_EQ(launch("msi", staging / "original.msi"), std::make_pair(-10, nlohmann::json(1223)));
  ::SetEnvironmentVariableW(L"ZRQ_TEST_LAUNCH_ERROR", L"193");
  EXPECT_EQ(launch("exe", staging / "original.exe"), std::make_pair(-9, nlohmann::json(193)));
}

TEST_F(InstallerLaunch, MissingFileFailsWithTheSystemError) {
  EXPECT_EQ(launch("exe", staging / "missing.exe"), std::make_pair(-9, nlohmann::json(2)));
}

// Built beside the unit tests: <build>/tests/unit -> <build>/tools/test-installer.
fs::path testInstaller() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path().parent_path().parent_path() / "tools" / "test-installer" /
         "test-installer.exe";
}

TEST_F(InstallerLaunch, ExecutableStartsWithoutArgumentsInTheStagingDirectory) {
  const fs::path installer = staging / "original.exe";
  const fs::path record = staging / "run.json";
  fs::copy_file(testInstaller(), installer);
  ::SetEnvironmentVariableW(L"ZRQ_INSTALLER_RECORD", record.wstring().c_str());
  EXPECT_EQ(launch("exe", installer), std::make_pair(0, nlohmann::json(0)));

  for (int i = 0; i < 200 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const nlohmann::json run = nlohmann::json::parse(std::ifstream(record));
  EXPECT_EQ(run["arguments"], nlohmann::json::array());
  EXPECT_EQ(run["currentDirectory"], toUtf8(staging.wstring()));
  EXPECT_TRUE(fs::exists(installer));
}

}  // namespace
}  // namespace cv
