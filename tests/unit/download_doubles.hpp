#pragma once

// Stand-ins for a download's file and its run, shared by the unit tests and
// the fuzz targets of the download.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/rules/download_progress.hpp"

namespace cv::testing {

// A file in memory; append fails while fails is set.
struct MemoryFile final : DownloadTarget {
  bool append(const char* data, unsigned long length) override {
    if (fails) return false;
    bytes.append(data, length);
    return true;
  }
  void empty() override { bytes.clear(); }

  std::string bytes;
  bool fails = false;
};

// Records what a download tells its run; onCheckpoint (when set) decides
// each checkpoint, the count of which is kept.
struct RecordingRun : DownloadObserver {
  void started(std::uint64_t totalBytes) override { total = totalBytes; }
  void held(std::uint64_t bytes) override { progress.push_back(bytes); }
  void phase(DownloadPhase next) override { phases.push_back(next); }
  void verifying() override { verified = true; }
  void report(const DownloadReport& next) override { last = next; }
  void checkpoint() override {
    ++checks;
    if (onCheckpoint) onCheckpoint();
  }

  std::uint64_t total = 0;
  std::vector<std::uint64_t> progress;
  std::vector<DownloadPhase> phases;
  bool verified = false;
  DownloadReport last;
  int checks = 0;
  std::function<void()> onCheckpoint;
};

}  // namespace cv::testing
