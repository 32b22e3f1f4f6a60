#include "net/installer_descriptor.hpp"

#include <string>

#include "app/error.hpp"
#include "net/text_rules.hpp"

namespace cv {

namespace {
constexpr std::size_t kUrlLimit = 16384;
constexpr std::size_t kSizeDigitsLimit = 15;
}

void validateInstallerDescriptor(const nlohmann::json& descriptor) {
  const nlohmann::json& type = descriptor.at("type");
  ensure(type == "exe" || type == "msi", BadData, "安装器类型无效");

  ensure(isLowerHexSha256(descriptor.at("sha256").get<std::string>()), BadData,
         "安装器校验信息无效");
  ensure(isPositiveDecimal(descriptor.at("sizeBytes").get<std::string>(), kSizeDigitsLimit),
         BadData, "安装器大小无效");

  const nlohmann::json& url = descriptor.at("url");
  ensure(url.is_string() && url.get_ref<const std::string&>().size() <= kUrlLimit, BadData,
         "下载地址无效");
}

}  // namespace cv
