#include "net/installer_descriptor.hpp"
#include "core/messages.hpp"

#include <string>

#include "net/rule_error.hpp"
#include "net/text_rules.hpp"

namespace cv {

namespace {
constexpr std::size_t kUrlLimit = 16384;
constexpr std::size_t kSizeDigitsLimit = 15;
}

void validateInstallerDescriptor(const nlohmann::json& descriptor, const std::string& member) {
  const nlohmann::json& type = descriptor.at("type");
  ensureRule(type == "exe" || type == "msi", BadData, msg::kBadInstallerType, member + ".type",
             "the string \"exe\" or \"msi\" (lower case)");

  ensureRule(isLowerHexSha256(descriptor.at("sha256").get<std::string>()), BadData,
             msg::kBadInstallerDigest, member + ".sha256", "64 lower-case hexadecimal digits");
  ensureRule(isPositiveDecimal(descriptor.at("sizeBytes").get<std::string>(), kSizeDigitsLimit),
             BadData, msg::kBadInstallerSize, member + ".sizeBytes",
             "a decimal string of 1 to 15 digits without a leading zero");

  const nlohmann::json& url = descriptor.at("url");
  ensureRule(url.is_string() && url.get_ref<const std::string&>().size() <= kUrlLimit, BadData,
             msg::kBadUrl, member + ".url", "a string of at most 16384 bytes");
}

}  // namespace cv
