#include "net/download_sink.hpp"
#include "core/messages.hpp"

#include <limits>
#include <stdexcept>

#include "core/error.hpp"
#include "platform/sha256.hpp"

namespace cv {

bool hasRoomForDownload(std::uint64_t freeBytes, std::uint64_t fileSize) {
  return freeBytes >= fileSize && freeBytes - fileSize >= kDownloadSpaceMargin;
}

std::uint64_t parseSizeBytes(const std::string& text) {
  if (text.empty()) throw std::invalid_argument("sizeBytes is not a decimal number");
  constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw std::invalid_argument("sizeBytes is not a decimal number");
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (max - digit) / 10) throw std::out_of_range("sizeBytes is out of range");
    value = value * 10 + digit;
  }
  return value;
}

void DownloadSink::operator()(const char* data, unsigned long length) {
  // bytesWritten_ never exceeds expectedSize_, so the difference cannot wrap.
  ensure(length <= expectedSize_ - bytesWritten_, BadData, msg::kSizeMismatch);
  ensure(write_(data, length), SystemFailure, msg::kWriteFailed);
  digest_.update(data, length);
  bytesWritten_ += length;
  onProgress_(bytesWritten_);
}

void DownloadSink::adopt(const char* data, unsigned long length) {
  ensure(length <= expectedSize_ - bytesWritten_, BadData, msg::kSizeMismatch);
  digest_.update(data, length);
  bytesWritten_ += length;
  onProgress_(bytesWritten_);
}

void DownloadSink::verify(const std::string& expectedSha256) {
  const bool complete = bytesWritten_ == expectedSize_;
  ensure(complete && toHex(digest_.finish()) == expectedSha256, BadData,
         msg::kVerifyFailed);
}

}  // namespace cv
