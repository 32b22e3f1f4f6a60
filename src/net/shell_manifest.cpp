#include "net/shell_manifest.hpp"

#include <string>

#include "app/error.hpp"
#include "app/version.hpp"
#include "net/endpoints.hpp"
#include "net/fetch_json.hpp"
#include "net/installer_descriptor.hpp"
#include "net/text_rules.hpp"

namespace cv {

std::uint32_t parseVersionCode(const nlohmann::json& value) {
  constexpr const char* kInvalid = "安装助手版本信息无效";
  constexpr std::size_t kVersionDigitsLimit = 10;
  ensure(value.is_string(), InvalidInput, kInvalid);
  const auto& text = value.get_ref<const std::string&>();
  ensure(isPositiveDecimal(text, kVersionDigitsLimit), InvalidInput, kInvalid);
  if (text.size() >= 10) ensure(text <= "4294967295", InvalidInput, kInvalid);
  return static_cast<std::uint32_t>(std::stoull(text, nullptr, 10));
}

nlohmann::json evaluateShellManifest(const nlohmann::json& manifest, std::uint32_t ownVersion) {
  ensure(manifest.at("schemaVersion") == 1, InvalidInput, "安装助手版本配置不兼容");
  const std::uint32_t latest = parseVersionCode(manifest.at("versionCode"));
  // Only a strictly newer shell counts; a lower code never leads to a downgrade.
  if (latest <= ownVersion) return nullptr;

  nlohmann::json shell = manifest.at("shell");
  validateInstallerDescriptor(shell);
  ensure(shell.at("type") == "exe", InvalidInput, "安装助手更新文件类型无效");
  shell["versionCode"] = latest;
  return shell;
}

nlohmann::json fetchShellManifest(const Checkpoint& checkpoint) {
  const nlohmann::json manifest =
      fetchJson(fileHostBaseUrl() + "/pc/shell/latest.json", std::string(), checkpoint);
  return evaluateShellManifest(manifest, shellVersionCode);
}

}  // namespace cv
