#include "session/handoff.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <windows.h>

#include "core/error.hpp"
#include "session/run_download.hpp"
#include "session/run_state.hpp"
#include "core/version.hpp"
#include "net/verified_download.hpp"
#include "platform/locations.hpp"
#include "platform/named_mutex.hpp"
#include "platform/rules/path.hpp"
#include "platform/system_library.hpp"
#include "platform/text.hpp"

namespace cv {

void acknowledgeHandoff(const LaunchOptions& options) {
  ensure(shellVersionCode >= options.updateTarget, InvalidInput, msg::kUpdateTargetMismatch);
  if (options.updateReadyEvent.empty()) return;
  ensure(isValidHandoffEventName(options.updateReadyEvent), InvalidInput, msg::kBadHandoffArguments);

  KernelHandle event(::OpenEventW(EVENT_MODIFY_STATE, FALSE, options.updateReadyEvent.c_str()));
  ensure(event.valid(), SystemFailure, msg::kHandoffFailed);
  const BOOL signalled = ::SetEvent(event.get());
  event.reset();
  ensure(signalled != FALSE, SystemFailure, msg::kHandoffFailed);
}

void runSelfUpdate(const ShellUpdate& update, const std::string& packageId,
                   const std::string& attemptId, const StagingArea& area,
                   const LaunchOptions& options, RunState& state, SessionResources& resources,
                   nlohmann::json& attemptLog) {
  state.updating.store(true);

  // Kept by the session from its creation on, so its end phase releases it whatever happens here.
  resources.lock = createNamedMutex(L"Local\\ZRQUpdatePackage-" + toWide(packageId), msg::kUpdateLockFailed);
  ensure(tryAcquireMutex(resources.lock.get()), Busy, msg::kShellUpdating);

  // Same file name as this shell, so the new one reads the same package id from it.
  resources.stagingDirectory = joinPath(area.temp, toWide(attemptId));
  resources.downloadPath = joinPath(resources.stagingDirectory, fileNameOfPath(executablePath()));
  RunDownload observer(state, resources.download);
  const VerifiedFile newShell = downloadVerified(
      update.shell,
      StagedDownload{area, resources.stagingDirectory, resources.downloadPath, kShellPartialOwner},
      observer);

  // The download's last checkpoint was the last chance to cancel this path.
  state.publish(Stage::Launching);
  const std::uint32_t toVersion = update.versionCode;
  handOffToNewShell(newShell.path, toVersion, options);

  attemptLog["status"] = "updated";
  attemptLog["packageId"] = packageId;
  attemptLog["fromVersion"] = shellVersionCode;
  attemptLog["toVersion"] = toVersion;
  state.publish(Stage::Finished);
}

void handOffToNewShell(const std::wstring& newShellPath, std::uint32_t targetVersion,
                       const LaunchOptions& options) {
  ensure(options.updateHops < kMaxHandoffHops, NetworkFailure, msg::kTooManyUpdates);

  const std::wstring eventName = kHandoffEventPrefix + toWide(newAttemptId());
  KernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  ensure(event.valid(), SystemFailure, msg::kHandoffEventFailed);

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
    throw Error(SystemFailure, msg::kNewShellNotStarted);
  }
  KernelHandle thread(started.hThread);
  KernelHandle process(started.hProcess);

  const HANDLE waitables[] = {event.get(), process.get()};
  const DWORD waited = ::WaitForMultipleObjects(2, waitables, FALSE, kAcknowledgementTimeoutMs);
  thread.reset();
  process.reset();
  event.reset();
  // The new shell is never stopped: if it did not acknowledge, what it does next is its own run.
  ensure(waited == WAIT_OBJECT_0, SystemFailure, msg::kNewShellNoAcknowledgement);
}

}  // namespace cv
