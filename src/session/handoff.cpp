#include "session/handoff.hpp"

#include <windows.h>

#include "app/error.hpp"
#include "app/run_state.hpp"
#include "app/version.hpp"
#include "net/verified_download.hpp"
#include "platform/locations.hpp"
#include "platform/named_mutex.hpp"
#include "platform/system_library.hpp"
#include "platform/text.hpp"

namespace cv {

namespace {
constexpr DWORD kAcknowledgementTimeoutMs = 15000;
}

void acknowledgeHandoff(const LaunchOptions& options) {
  ensure(shellVersionCode >= options.updateTarget, InvalidInput, "更新文件版本不匹配");
  if (options.updateReadyEvent.empty()) return;
  ensure(isValidHandoffEventName(options.updateReadyEvent), InvalidInput, "安装助手交接参数无效");

  KernelHandle event(::OpenEventW(EVENT_MODIFY_STATE, FALSE, options.updateReadyEvent.c_str()));
  ensure(event.valid(), SystemFailure, "安装助手交接失败");
  const BOOL signalled = ::SetEvent(event.get());
  event.reset();
  ensure(signalled != FALSE, SystemFailure, "安装助手交接失败");
}

void runSelfUpdate(const nlohmann::json& manifest, const std::string& packageId,
                   const std::string& attemptId, const LaunchOptions& options, RunState& state,
                   SessionResources& resources, nlohmann::json& attemptLog) {
  state.updating.store(true);

  // Kept by the session from its creation on, so its end phase releases it whatever happens here.
  resources.lock = createNamedMutex(L"Local\\ZRQUpdatePackage-" + toWide(packageId), "无法创建更新锁");
  ensure(tryAcquireMutex(resources.lock.get()), Busy, "该安装助手正在更新");

  // Same file name as this shell, so the new one reads the same package id from it.
  resources.stagingDirectory = sdkRootDirectory() + L"\\temp\\" + toWide(attemptId);
  resources.downloadPath = resources.stagingDirectory + L"\\" + fileNameOfPath(executablePath());
  const VerifiedFile newShell = downloadVerified(manifest, resources.stagingDirectory,
                                                 resources.downloadPath, state, resources.download);

  // The download's last checkpoint was the last chance to cancel this path.
  state.publish(Stage::Launching);
  const std::uint32_t toVersion = manifest.at("versionCode").get<std::uint32_t>();
  handOffToNewShell(newShell.path, toVersion, options);

  attemptLog["status"] = "updated";
  attemptLog["packageId"] = packageId;
  attemptLog["fromVersion"] = shellVersionCode;
  attemptLog["toVersion"] = toVersion;
  state.publish(Stage::Finished);
}

void handOffToNewShell(const std::wstring& newShellPath, std::uint32_t targetVersion,
                       const LaunchOptions& options) {
  ensure(options.updateHops < kMaxHandoffHops, NetworkFailure, "安装助手连续更新，请稍后重试");

  const std::wstring eventName = kHandoffEventPrefix + toWide(newAttemptId());
  KernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  ensure(event.valid(), SystemFailure, "安装助手更新交接失败");

  std::wstring commandLine = handoffCommandLine(newShellPath, targetVersion, options.updateHops + 1, eventName);
  const std::wstring directory = directoryOfPath(newShellPath);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  BOOL created = FALSE;
  {
    const DefaultDllSearchForChild defaultSearch;
    created = ::CreateProcessW(newShellPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, directory.c_str(), &startup, &started);
  }
  if (!created) {
    event.reset();
    throw Error(SystemFailure, "新安装助手未能启动，请重试");
  }
  KernelHandle thread(started.hThread);
  KernelHandle process(started.hProcess);

  const HANDLE waitables[] = {event.get(), process.get()};
  const DWORD waited = ::WaitForMultipleObjects(2, waitables, FALSE, kAcknowledgementTimeoutMs);
  thread.reset();
  process.reset();
  event.reset();
  // The new shell is never stopped: if it did not acknowledge, what it does next is its own run.
  ensure(waited == WAIT_OBJECT_0, SystemFailure, "新安装助手未完成交接，请重试");
}

}  // namespace cv
