#include "session/handoff.hpp"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <future>

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "expect_error.hpp"
#include "session/run_state.hpp"
#include "core/version.hpp"
#include "platform/system_library.hpp"
#include "platform/test_seams.hpp"
#include "platform/text.hpp"

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(AcknowledgeHandoff, SignalsTheOldShellsEventOnlyForAValidRequest) {
  acknowledgeHandoff(LaunchOptions{});
  const std::wstring name = L"Local\\ZRQUpdate-" + toWide(newAttemptId());
  const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());

  expectError([&] { acknowledgeHandoff({name, shellVersionCode + 1, 1}); }, -1, "更新文件版本不匹配");
  expectError([&] { acknowledgeHandoff({name + L"_", 0, 1}); }, -1, "安装助手交接参数无效");
  expectError([&] { acknowledgeHandoff({L"Local\\ZRQUpdate-", 0, 1}); }, -9, "安装助手交接失败");
  EXPECT_EQ(::WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  acknowledgeHandoff({name, shellVersionCode, 1});
  EXPECT_EQ(::WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ::CloseHandle(event);
}

TEST(HandOffToNewShell, HopLimitComesBeforeAnyStart) {
  const std::wstring missing = fs::temp_directory_path().wstring() + L"\\missing-" + toWide(newAttemptId()) + L".exe";
  expectError([&] { handOffToNewShell(missing, 3, {L"", 0, 3}); }, -7, "安装助手连续更新，请稍后重试");
  expectError([&] { handOffToNewShell(missing, 3, {L"", 0, 2}); }, -9, "新安装助手未能启动，请重试");
}

// Windows 7 without KB2533623: the new shell gets the default DLL search, not
// the one without the current directory that its predecessor set.
TEST(HandOffToNewShell, TheNewShellIsStartedWithTheDefaultDllSearch) {
  ::SetEnvironmentVariableW(L"ZRQ_TEST_ABSENT", L"SetDefaultDllDirectories");
  ASSERT_FALSE(restrictDllSearchToSystem());
  ::SetEnvironmentVariableW(L"ZRQ_TEST_ABSENT", nullptr);
  seams::forgetNoted();
  const std::wstring missing = fs::temp_directory_path().wstring() + L"\\missing-" + toWide(newAttemptId()) + L".exe";
  expectError([&] { handOffToNewShell(missing, 3, {L"", 0, 2}); }, -9, "新安装助手未能启动，请重试");
  EXPECT_EQ(seams::noted(seams::Noted::DllDirectory),
            (std::vector<std::optional<std::wstring>>{std::nullopt, L""}));
}

TEST(HandOffToNewShell, NewShellThatEndsWithoutAcknowledgingFailsTheHandover) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path tools = fs::path(self).parent_path().parent_path().parent_path() / "tools" / "test-installer";
  const fs::path record = fs::temp_directory_path() / ("handoff-" + newAttemptId() + ".json");
  ::SetEnvironmentVariableW(L"ZRQ_INSTALLER_RECORD", record.wstring().c_str());
  const std::wstring shell = (tools / "test-installer.exe").wstring();
  expectError([&] { handOffToNewShell(shell, 7, {L"", 0, 2}); }, -9, "新安装助手未完成交接，请重试");
  ::SetEnvironmentVariableW(L"ZRQ_INSTALLER_RECORD", nullptr);

  const nlohmann::json run = nlohmann::json::parse(std::ifstream(record));
  fs::remove(record);
  const std::string commandLine = run.at("commandLine");
  const std::string expectedStart = "\"" + toUtf8(shell) + "\" --update-target 7 --update-hops 3 --update-ready ";
  EXPECT_EQ(commandLine.substr(0, expectedStart.size()), expectedStart);
  EXPECT_TRUE(isValidHandoffEventName(toWide(run.at("arguments").at(5).get<std::string>())));
  EXPECT_EQ(run.at("currentDirectory"), toUtf8(tools.wstring()));
}

TEST(RunSelfUpdate, UpdateLockHeldElsewhereRefusesBeforeDownloading) {
  const std::string packageId = std::to_string(::GetCurrentProcessId());
  const HANDLE held = ::CreateMutexW(nullptr, FALSE, (L"Local\\ZRQUpdatePackage-" + toWide(packageId)).c_str());
  ASSERT_EQ(::WaitForSingleObject(held, 0), WAIT_OBJECT_0);
  RunState state;
  SessionResources resources;
  nlohmann::json log = nlohmann::json::object();
  std::async(std::launch::async, [&] {
    const StagingArea area{L"C:\\unused", stagingRulesFor(false), false};
    expectError([&] { runSelfUpdate(ShellUpdate{}, packageId, "A", area, {}, state, resources, log); },
                -3, "该安装助手正在更新");
  }).get();
  ::ReleaseMutex(held);
  ::CloseHandle(held);
  EXPECT_TRUE(state.updating.load());
  EXPECT_TRUE(resources.lock.valid());
  EXPECT_TRUE(resources.downloadPath.empty());
  EXPECT_EQ(log, nlohmann::json::object());
}

}  // namespace
}  // namespace cv
