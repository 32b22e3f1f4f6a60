#include "net/rules/installer_descriptor.hpp"

#include <limits>

#include "core/error.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"
#include "net/rules/text_rules.hpp"

namespace cv {

namespace {

// The sizeBytes text the rule accepted, as a number (15 digits fit in 64 bits).
std::uint64_t sizeOf(const std::string& text) {
  std::uint64_t value = 0;
  for (char c : text) value = value * 10 + static_cast<unsigned>(c - '0');
  return value;
}

}  // namespace

DocumentRules installerDescriptorRules(const std::string& member) {
  return {
      {member + ".type", "the string \"exe\" or \"msi\" (lower case)", BadData,
       msg::kBadInstallerType,
       [member](const nlohmann::json& document) {
         const nlohmann::json& type = document.at(member).at("type");
         return type == "exe" || type == "msi";
       }},
      {member + ".sha256", "64 lower-case hexadecimal digits", BadData, msg::kBadInstallerDigest,
       [member](const nlohmann::json& document) {
         return isLowerHexSha256(document.at(member).at("sha256").get<std::string>());
       }},
      {member + ".sizeBytes",
       "a decimal string of 1 to " + std::to_string(kSizeDigitsLimit) +
           " digits without a leading zero",
       BadData, msg::kBadInstallerSize,
       [member](const nlohmann::json& document) {
         return isPositiveDecimal(document.at(member).at("sizeBytes").get<std::string>(),
                                  kSizeDigitsLimit);
       }},
      {member + ".url", "a string of at most " + std::to_string(kUrlLimit) + " bytes", BadData,
       msg::kBadUrl,
       [member](const nlohmann::json& document) {
         const nlohmann::json& url = document.at(member).at("url");
         return url.is_string() && url.get_ref<const std::string&>().size() <= kUrlLimit;
       }},
  };
}

InstallerDescriptor descriptorAt(const nlohmann::json& document, const std::string& member) {
  const nlohmann::json& served = document.at(member);
  InstallerDescriptor descriptor;
  descriptor.kind = served.at("type") == "msi" ? InstallerKind::Msi : InstallerKind::Exe;
  descriptor.sha256 = served.at("sha256").get<std::string>();
  descriptor.size = sizeOf(served.at("sizeBytes").get<std::string>());
  descriptor.url = served.at("url").get<std::string>();
  descriptor.publisherSha256 = served.value("publisherSha256", nlohmann::json());
  return descriptor;
}

InstallerDescriptor readInstallerDescriptor(const nlohmann::json& document,
                                            const std::string& member) {
  enforce(installerDescriptorRules(member), document);
  return descriptorAt(document, member);
}

}  // namespace cv
