#include "net/shell_manifest.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <string>

#include "core/error.hpp"
#include "net/installer_descriptor.hpp"
#include "net/rule_error.hpp"
#include "net/text_rules.hpp"

namespace cv {

std::uint32_t parseVersionCode(const nlohmann::json& value) {
  constexpr const char* kInvalid = msg::kBadShellVersion;
  constexpr const char* kField = "versionCode";
  constexpr const char* kLimit =
      "a decimal string of 1 to 10 digits without a leading zero, at most 4294967295";
  ensureRule(value.is_string(), InvalidInput, kInvalid, kField, kLimit);
  const auto& text = value.get_ref<const std::string&>();
  ensureRule(isPositiveDecimal(text, kVersionDigitsLimit), InvalidInput, kInvalid, kField, kLimit);
  if (text.size() >= 10) ensureRule(text <= "4294967295", InvalidInput, kInvalid, kField, kLimit);
  return static_cast<std::uint32_t>(std::stoull(text, nullptr, 10));
}

nlohmann::json evaluateShellManifest(const nlohmann::json& manifest, std::uint32_t ownVersion) {
  ensureRule(manifest.at("schemaVersion") == 1, InvalidInput, msg::kShellSchemaIncompatible,
             "schemaVersion", "the number 1");
  const std::uint32_t latest = parseVersionCode(manifest.at("versionCode"));
  // Only a strictly newer shell counts; a lower code never leads to a downgrade.
  if (latest <= ownVersion) return nullptr;

  nlohmann::json shell = manifest.at("shell");
  validateInstallerDescriptor(shell, "shell");
  ensureRule(shell.at("type") == "exe", InvalidInput, msg::kBadShellType, "shell.type",
             "the string \"exe\"");
  shell["versionCode"] = latest;
  return shell;
}

}  // namespace cv
