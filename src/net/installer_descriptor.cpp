#include "net/installer_descriptor.hpp"

#include <regex>
#include <string>

#include "app/error.hpp"

namespace cv {

namespace {
constexpr std::size_t kUrlLimit = 16384;
}

void validateInstallerDescriptor(const nlohmann::json& descriptor) {
  const nlohmann::json& type = descriptor.at("type");
  ensure(type == "exe" || type == "msi", BadData, "安装器类型无效");

  const std::regex sha256Pattern("[a-f0-9]{64}");
  const std::regex sizePattern("[1-9][0-9]{0,14}");

  ensure(std::regex_match(descriptor.at("sha256").get<std::string>(), sha256Pattern), BadData,
         "安装器校验信息无效");
  ensure(std::regex_match(descriptor.at("sizeBytes").get<std::string>(), sizePattern), BadData,
         "安装器大小无效");

  const nlohmann::json& url = descriptor.at("url");
  ensure(url.is_string() && url.get_ref<const std::string&>().size() <= kUrlLimit, BadData,
         "下载地址无效");
}

}  // namespace cv
