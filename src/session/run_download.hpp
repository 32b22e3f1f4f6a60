#pragma once

#include "net/rules/download_progress.hpp"
#include "session/run_state.hpp"

namespace cv {

// A download's course as the run state shows it to the window: the stage,
// the byte counters, the phase; its report kept for the attempt log; the
// player's Cancel as its checkpoint.
class RunDownload final : public DownloadObserver {
 public:
  RunDownload(RunState& state, DownloadReport& report) : state_(state), report_(report) {}

  void started(std::uint64_t totalBytes) override {
    state_.totalBytes.store(totalBytes);
    state_.publish(Stage::Downloading);
  }
  void held(std::uint64_t bytes) override { state_.downloadedBytes.store(bytes); }
  void phase(DownloadPhase phase) override { state_.publish(phase); }
  void verifying() override { state_.publish(Stage::Verifying); }
  void report(const DownloadReport& report) override { report_ = report; }
  void checkpoint() override { state_.throwIfCancelled(); }

 private:
  RunState& state_;
  DownloadReport& report_;
};

}  // namespace cv
