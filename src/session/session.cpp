#include "session/session.hpp"
#include "core/messages.hpp"

#include <string>

#include <nlohmann/json.hpp>

#include "core/error.hpp"
#include "session/run_state.hpp"
#include "core/version.hpp"
#include "net/fetch_game_config.hpp"
#include "net/rules/setup_file_name.hpp"
#include "net/fetch_shell_manifest.hpp"
#include "net/staging_area.hpp"
#include "net/verified_download.hpp"
#include "platform/file_io.hpp"
#include "platform/locations.hpp"
#include "platform/named_mutex.hpp"
#include "platform/rules/path.hpp"
#include "platform/text.hpp"
#include "session/attempt_log.hpp"
#include "session/channel_record.hpp"
#include "session/rules/download_log.hpp"
#include "session/run_download.hpp"
#include "session/handoff.hpp"
#include "session/installer_launch.hpp"
#include "session/session_resources.hpp"
#include "session/staging_cleanup.hpp"

namespace cv {
namespace {

using nlohmann::json;

constexpr const wchar_t* kUnexpectedFailure = msg::kUnexpectedFailureWide;

// Everything one attempt keeps until its end phase.
struct Attempt {
  std::string id;
  AttemptLog log;
  SessionResources resources;
  std::string appId;
  ChannelRecordBackup recordBackup;
  bool recordWritten = false;
};

std::wstring messageOf(const Error& error) {
  try {
    return toWide(error.what());
  } catch (...) {
    return kUnexpectedFailure;
  }
}

void installGame(Attempt& attempt, RunState& state, const std::string& packageId,
                 const StagingArea& area, const Checkpoint& checkpoint) {
  const GameConfig config = fetchGameConfig(packageId, checkpoint);
  state.throwIfCancelled();
  attempt.appId = config.appId;
  state.setTitle(msg::kInstallingCaptionStartWide + toWide(config.displayName) +
                 msg::kInstallingCaptionEndWide);

  SessionResources& resources = attempt.resources;
  resources.lock = createNamedMutex(L"Local\\ZRQSetup-" + toWide(attempt.appId), msg::kSetupLockFailed);
  ensure(tryAcquireMutex(resources.lock.get()), Busy, msg::kGameBusy);

  const std::wstring staging = joinPath(area.temp, toWide(attempt.id));
  resources.stagingDirectory = staging;
  const InstallerDescriptor& installer = config.installer;
  resources.downloadPath = joinPath(staging, installerFileName(installer.kind));
  RunDownload observer(state, resources.download);
  VerifiedFile installerFile = downloadVerified(
      installer, StagedDownload{area, staging, resources.downloadPath, packageId}, observer);

  state.enterLaunching();
  attempt.recordBackup = writeChannelRecord(attempt.appId, config.channelCode);
  attempt.recordWritten = true;
  launchInstaller(installer.kind, installerFile.path, installerFile.directory, attempt.log);
  installerFile.guard.reset();
  attempt.recordWritten = false;
  state.publish(Stage::Finished);

  AttemptLog& log = attempt.log;
  log["status"] = "handed-off";
  log["packageId"] = packageId;
  log["motherId"] = config.motherId;
  log["appId"] = attempt.appId;
  log["channelCode"] = config.channelCode;
  log["sha256"] = installer.sha256;
  log["shellVersion"] = shellVersionCode;
}

void runGuarded(Attempt& attempt, RunState& state, const LaunchOptions& options) {
  const std::string packageId =
      packageIdFromFileName(fileName(executablePath()));
  state.throwIfCancelled();
  acknowledgeHandoff(options);
  const StagingArea area = stagingAreaOfThisRun();
  if (area.rules.cleanUp) cleanStagingArea();

  const Checkpoint checkpoint = [&state] { state.throwIfCancelled(); };
  const std::optional<ShellUpdate> update = fetchShellManifest(checkpoint);
  if (update) {
    runSelfUpdate(*update, packageId, attempt.id, area, options, state, attempt.resources,
                  attempt.log);
    return;
  }
  installGame(attempt, state, packageId, area, checkpoint);
}

void removeLeftovers(const SessionResources& resources) {
  if (!resources.downloadPath.empty()) removeFileQuietly(resources.downloadPath);
  // Removing a directory fails while it still holds anything; that is wanted here.
  if (!resources.stagingDirectory.empty()) removeEmptyDirectoryQuietly(resources.stagingDirectory);
}

void endAttempt(Attempt& attempt, RunState& state) {
  const std::int32_t resultCode = state.resultCode;
  if (resultCode != Success) {
    attempt.log["status"] = resultCode == Cancelled ? "cancelled" : "failed";
    if (attempt.recordWritten) {
      try {
        restoreChannelRecord(attempt.appId, attempt.recordBackup);
      } catch (...) {
        attempt.log["rollbackFailed"] = true;
        state.appendToMessage(msg::kRollbackFailedSuffixWide);
      }
    }
    removeLeftovers(attempt.resources);
  }
  if (attempt.resources.lock) {
    ::ReleaseMutex(attempt.resources.lock.get());
    attempt.resources.lock.reset();
  }
  recordDownload(attempt.log, attempt.resources.download);
  writeAttemptLog(attempt.log, attempt.id, resultCode);
}

}  // namespace

void runSession(RunState& state, const LaunchOptions& options) {
  Attempt attempt;
  try {
    attempt.id = newAttemptId();
    attempt.log = newAttemptLog(attempt.id);
  } catch (const Error& error) {
    // Without an attempt id there is nothing to log; the failure is still shown.
    state.reportFailure(error.code, messageOf(error));
    return;
  } catch (...) {
    state.reportFailure(UnexpectedFailure, kUnexpectedFailure);
    return;
  }

  try {
    runGuarded(attempt, state, options);
  } catch (const Error& error) {
    state.reportFailure(error.code, messageOf(error));
  } catch (...) {
    state.reportFailure(UnexpectedFailure, kUnexpectedFailure);
  }
  endAttempt(attempt, state);
}

}  // namespace cv
