#pragma once

#include <cstdint>

#include "net/rules/download_report.hpp"

namespace cv {

// What a download is doing while the run is downloading.
enum class DownloadPhase : std::int32_t {
  Transferring = 0,  // receiving the file
  Waiting = 1,       // the connection broke; waiting to ask again
  CheckingKept = 2,  // hashing the bytes an earlier run kept, before continuing them
  CheckingCopy = 3,  // hashing a copy an earlier run verified, before starting it
};

// Where a download's bytes go, in order.
class DownloadTarget {
 public:
  // Writes one chunk at the end, completely; false when it could not.
  virtual bool append(const char* data, unsigned long length) = 0;
  // Back to no bytes, before a body from byte 0.
  virtual void empty() = 0;

 protected:
  ~DownloadTarget() = default;
};

// What a download tells the run as it goes, and the one thing it asks: the
// session implements it over its run state, tests over a record.
class DownloadObserver {
 public:
  virtual void started(std::uint64_t totalBytes) = 0;  // the download begins
  virtual void held(std::uint64_t bytes) = 0;           // bytes of the file held so far
  virtual void phase(DownloadPhase phase) = 0;
  virtual void verifying() = 0;                         // the file is whole and checked
  // How the download went so far, given before it returns or fails.
  virtual void report(const DownloadReport& report) = 0;
  // Before every request, read and wait slice; throws to stop the download.
  virtual void checkpoint() = 0;

 protected:
  ~DownloadObserver() = default;
};

}  // namespace cv
