#include "net/rules/download_sink.hpp"

#include "core/error.hpp"
#include "core/messages.hpp"
#include "platform/sha256.hpp"

namespace cv {

void DownloadSink::operator()(const char* data, unsigned long length) {
  // bytesWritten_ never exceeds expectedSize_, so the difference cannot wrap.
  ensure(length <= expectedSize_ - bytesWritten_, BadData, msg::kSizeMismatch);
  ensure(target_.append(data, length), SystemFailure, msg::kWriteFailed);
  count(data, length);
}

void DownloadSink::adopt(const char* data, unsigned long length) {
  ensure(length <= expectedSize_ - bytesWritten_, BadData, msg::kSizeMismatch);
  count(data, length);
}

void DownloadSink::count(const char* data, unsigned long length) {
  digest_.update(data, length);
  bytesWritten_ += length;
  if (observer_ != nullptr) observer_->held(bytesWritten_);
}

void DownloadSink::verify(const std::string& expectedSha256) {
  const bool complete = bytesWritten_ == expectedSize_;
  ensure(complete && toHex(digest_.finish()) == expectedSha256, BadData, msg::kVerifyFailed);
}

}  // namespace cv
