#include "net/installer_descriptor.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <limits>
#include <stdexcept>
#include <string>

#include "net/rule_error.hpp"
#include "net/text_rules.hpp"

namespace cv {

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
