#include "net/rules/shell_manifest.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <string>

#include "core/error.hpp"
#include "net/rules/installer_descriptor.hpp"
#include "net/rules/rule_error.hpp"
#include "net/rules/text_rules.hpp"

namespace cv {

namespace {

const std::string kVersionLimit = "a decimal string of 1 to " + std::to_string(kVersionDigitsLimit) +
                                  " digits without a leading zero, at most " +
                                  std::to_string(kMaxVersionCode);

bool isVersionCode(const nlohmann::json& value) {
  if (!value.is_string()) return false;
  const auto& text = value.get_ref<const std::string&>();
  return isPositiveDecimal(text, kVersionDigitsLimit) && isDecimalAtMost(text, kMaxVersionCode);
}

}  // namespace

std::uint32_t parseVersionCode(const nlohmann::json& value) {
  ensureRule(isVersionCode(value), InvalidInput, msg::kBadShellVersion, "versionCode", kVersionLimit);
  return static_cast<std::uint32_t>(std::stoull(value.get<std::string>(), nullptr, 10));
}

DocumentRules shellManifestRules() {
  return {
      {"schemaVersion", "the number 1", InvalidInput, msg::kShellSchemaIncompatible,
       [](const nlohmann::json& manifest) { return manifest.at("schemaVersion") == 1; }},
      {"versionCode", kVersionLimit, InvalidInput, msg::kBadShellVersion,
       [](const nlohmann::json& manifest) { return isVersionCode(manifest.at("versionCode")); }},
  };
}

DocumentRules announcedShellRules() {
  DocumentRules rules = installerDescriptorRules("shell");
  rules.push_back({"shell.type", "the string \"exe\"", InvalidInput, msg::kBadShellType,
                   [](const nlohmann::json& manifest) {
                     return manifest.at("shell").at("type") == "exe";
                   }});
  return rules;
}

std::optional<ShellUpdate> readShellManifest(const nlohmann::json& manifest,
                                             std::uint32_t ownVersion) {
  enforce(shellManifestRules(), manifest);
  const std::uint32_t latest = parseVersionCode(manifest.at("versionCode"));
  // Only a strictly newer shell counts; a lower code never leads to a downgrade,
  // and then the shell member is not read at all.
  if (latest <= ownVersion) return std::nullopt;
  enforce(announcedShellRules(), manifest);
  return ShellUpdate{latest, descriptorAt(manifest, "shell")};
}

}  // namespace cv
