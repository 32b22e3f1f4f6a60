#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace cv {

class Sha256;

using ProgressCallback = std::function<void(std::uint64_t bytesWritten)>;
// Writes one chunk completely; false when it could not.
using ChunkWriter = std::function<bool(const char* data, unsigned long length)>;

// Free space must cover the file plus this margin.
constexpr std::uint64_t kDownloadSpaceMargin = 1048576;

bool hasRoomForDownload(std::uint64_t freeBytes, std::uint64_t fileSize);

// The descriptor's sizeBytes text: decimal digits only, fitting in 64 bits.
std::uint64_t parseSizeBytes(const std::string& text);

// Receives a download's body chunk by chunk: refuses growth past the expected
// size, writes and hashes each chunk, and reports the running count. Owns
// nothing; hand it to the transport by reference.
class DownloadSink {
 public:
  DownloadSink(std::uint64_t expectedSize, const ChunkWriter& write, Sha256& digest,
               const ProgressCallback& onProgress)
      : expectedSize_(expectedSize), write_(write), digest_(digest), onProgress_(onProgress) {}
  // The callables are held by reference and must outlive the sink.
  DownloadSink(std::uint64_t, ChunkWriter&&, Sha256&, const ProgressCallback&) = delete;
  DownloadSink(std::uint64_t, const ChunkWriter&, Sha256&, ProgressCallback&&) = delete;

  void operator()(const char* data, unsigned long length);
  // Bytes already in the file (kept from an earlier run, read back in order):
  // counted, hashed and reported like received ones, but not written again.
  void adopt(const char* data, unsigned long length);

  // After the body ended: the size must be exact and the digest text equal.
  void verify(const std::string& expectedSha256);

  std::uint64_t bytesWritten() const { return bytesWritten_; }
  bool complete() const { return bytesWritten_ == expectedSize_; }

 private:
  std::uint64_t expectedSize_;
  std::uint64_t bytesWritten_ = 0;
  const ChunkWriter& write_;
  Sha256& digest_;
  const ProgressCallback& onProgress_;
};

}  // namespace cv
