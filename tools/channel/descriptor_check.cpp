#include "descriptor_check.hpp"

#include "net/installer_descriptor.hpp"

namespace zrq::channel {

DescriptorCheck::DescriptorCheck(const nlohmann::json& descriptor)
    : expectedSize_(cv::parseSizeBytes(descriptor.at("sizeBytes").get<std::string>())),
      expectedSha256_(descriptor.at("sha256").get<std::string>()),
      sink_(expectedSize_, target_, expectedDigest_, nullptr) {}

void DescriptorCheck::finish() {
  actualSha256_ = cv::toHex(actualDigest_.finish());
  sink_.verify(expectedSha256_);
}

}  // namespace zrq::channel
