#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/rules/download_progress.hpp"

namespace cv {

enum class Stage : std::int32_t {
  FetchingInfo = 0,
  Downloading = 1,
  Verifying = 2,
  Launching = 3,
  Finished = 4,
  Failed = 5,
};

// What the window's close box or button does, decided under the state lock.
enum class CloseDecision { CancelRequested, Destroy, Ignore };

// The only record the worker and the window share.
class RunState {
 public:
  std::atomic<std::int32_t> stage{0};
  std::atomic<bool> cancelRequested{false};
  std::atomic<bool> updating{false};
  std::atomic<std::uint64_t> downloadedBytes{0};
  std::atomic<std::uint64_t> totalBytes{0};
  std::atomic<std::int32_t> downloadPhase{0};
  // Written by the worker before it publishes Failed; read after that (or after the join).
  std::int32_t resultCode = 0;

  Stage currentStage() const { return static_cast<Stage>(stage.load()); }
  void publish(Stage next) { stage.exchange(static_cast<std::int32_t>(next)); }
  DownloadPhase currentDownloadPhase() const { return static_cast<DownloadPhase>(downloadPhase.load()); }
  void publish(DownloadPhase next) { downloadPhase.store(static_cast<std::int32_t>(next)); }

  // The cancellation checkpoint: throws Error(-10, "Extraction cancelled") once cancel was requested.
  void throwIfCancelled() const;

  // Installer path: exactly one of a racing cancel request and this entry wins.
  void enterLaunching();

  // Window side of a close attempt (close box, Alt+F4, the button).
  CloseDecision requestClose();

  void setTitle(const std::wstring& title);
  std::wstring title() const;

  // Records the outcome; the message is in place before Failed becomes visible.
  void reportFailure(std::int32_t code, const std::wstring& message);
  void appendToMessage(const std::wstring& suffix);
  std::wstring message() const;

 private:
  mutable std::mutex stateLock_;
  std::wstring title_;
  std::wstring message_;
};

// The process's one run state.
RunState& processRunState();

}  // namespace cv
