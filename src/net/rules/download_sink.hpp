#pragma once

#include <cstdint>
#include <string>

#include "net/rules/download_progress.hpp"

namespace cv {

class Sha256;

// Receives a download's body chunk by chunk: refuses growth past the expected
// size, writes each chunk to the target, hashes it and tells the observer (if
// any) the running count. Owns nothing.
class DownloadSink {
 public:
  DownloadSink(std::uint64_t expectedSize, DownloadTarget& target, Sha256& digest,
               DownloadObserver* observer)
      : expectedSize_(expectedSize), target_(target), digest_(digest), observer_(observer) {}

  void operator()(const char* data, unsigned long length);
  // Bytes already in the file (kept from an earlier run, read back in order):
  // counted, hashed and reported like received ones, but not written again.
  void adopt(const char* data, unsigned long length);

  // After the body ended: the size must be exact and the digest text equal.
  void verify(const std::string& expectedSha256);

  std::uint64_t bytesWritten() const { return bytesWritten_; }
  bool complete() const { return bytesWritten_ == expectedSize_; }

 private:
  void count(const char* data, unsigned long length);

  std::uint64_t expectedSize_;
  std::uint64_t bytesWritten_ = 0;
  DownloadTarget& target_;
  Sha256& digest_;
  DownloadObserver* observer_;
};

}  // namespace cv
