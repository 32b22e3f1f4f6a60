#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "net/rules/download_sink.hpp"
#include "net/rules/installer_descriptor.hpp"
#include "platform/sha256.hpp"

namespace zrq::channel {

// Holds bytes (a file in the tree, or a body from the host) against a valid
// descriptor exactly as the shell's download does: a chunk past sizeBytes is
// refused at once ("安装文件大小不匹配"), a short or different body fails at the
// end ("安装文件校验失败，请重试"). Also keeps the digest of what arrived.
class DescriptorCheck {
 public:
  explicit DescriptorCheck(const cv::InstallerDescriptor& descriptor);
  DescriptorCheck(const DescriptorCheck&) = delete;
  DescriptorCheck& operator=(const DescriptorCheck&) = delete;

  void operator()(const char* data, unsigned long length) { sink_(data, length); }
  // Throws the shell's Error when the bytes were not exactly the described ones.
  void finish();

  std::uint64_t expectedSize() const { return expectedSize_; }
  std::uint64_t bytesSeen() const { return sink_.bytesWritten(); }
  // The SHA-256 of the bytes seen; set by finish() when none was refused.
  const std::string& actualSha256() const { return actualSha256_; }

 private:
  std::uint64_t expectedSize_;
  std::string expectedSha256_;
  std::string actualSha256_;
  cv::Sha256 expectedDigest_;
  // Keeps the digest of every byte the sink takes.
  struct Digesting final : cv::DownloadTarget {
    explicit Digesting(cv::Sha256& digest) : digest(digest) {}
    bool append(const char* data, unsigned long length) override {
      digest.update(data, length);
      return true;
    }
    void empty() override {}
    cv::Sha256& digest;
  };
  cv::Sha256 actualDigest_;
  Digesting target_{actualDigest_};
  cv::DownloadSink sink_;
};

}  // namespace zrq::channel
