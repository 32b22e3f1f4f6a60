#include "descriptor_check.hpp"


namespace zrq::channel {

DescriptorCheck::DescriptorCheck(const cv::InstallerDescriptor& descriptor)
    : expectedSize_(descriptor.size),
      expectedSha256_(descriptor.sha256),
      sink_(expectedSize_, target_, expectedDigest_, nullptr) {}

void DescriptorCheck::finish() {
  actualSha256_ = cv::toHex(actualDigest_.finish());
  sink_.verify(expectedSha256_);
}

}  // namespace zrq::channel
