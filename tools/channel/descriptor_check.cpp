#include "descriptor_check.hpp"

namespace zrq::channel {

DescriptorCheck::DescriptorCheck(const nlohmann::json& descriptor)
    : expectedSize_(cv::parseSizeBytes(descriptor.at("sizeBytes").get<std::string>())),
      expectedSha256_(descriptor.at("sha256").get<std::string>()),
      write_([this](const char* data, unsigned long length) {
        actualDigest_.update(data, length);
        return true;
      }),
      progress_([](std::uint64_t) {}),
      sink_(expectedSize_, write_, expectedDigest_, progress_) {}

void DescriptorCheck::finish() {
  actualSha256_ = cv::toHex(actualDigest_.finish());
  sink_.verify(expectedSha256_);
}

}  // namespace zrq::channel
