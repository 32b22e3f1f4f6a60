#include "net/rules/game_config.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <cstdint>

#include "core/error.hpp"
#include "net/rules/installer_descriptor.hpp"
#include "net/rules/rule_error.hpp"
#include "net/rules/text_rules.hpp"

namespace cv {

namespace {

// The answer's code read as an integer, 0 when absent. A number beyond the
// 64-bit range (1e19, 1e300) has no integer reading; converting it anyway is
// undefined, so it counts as a code other than 1, as a refusal.
std::int64_t answerCode(const nlohmann::json& response) {
  const auto code = response.find("code");
  if (code != response.end() && code->is_number_float()) {
    const double value = code->get<double>();
    if (!(value >= -0x1p63 && value < 0x1p63)) return 0;
  }
  return response.value("code", std::int64_t{0});
}

bool isShortText(const nlohmann::json& value) {
  if (!value.is_string()) return false;
  const auto& text = value.get_ref<const std::string&>();
  return !text.empty() && text.size() <= kTextLimit;
}

}  // namespace

DocumentRules gameConfigRules(const std::string& packageId) {
  const std::string text = "a non-empty string of at most " + std::to_string(kTextLimit) +
                           " bytes of UTF-8";
  DocumentRules rules = {
      // packageId is read only once schemaVersion is right.
      {"schemaVersion", "the number 1", BadData, msg::kIdentityMismatch,
       [](const nlohmann::json& config) { return config.at("schemaVersion") == 1; }},
      {"packageId", "a string equal to the package id in the setup file name", BadData,
       msg::kIdentityMismatch,
       [packageId](const nlohmann::json& config) { return config.at("packageId") == packageId; }},
      {"appId",
       "1 to " + std::to_string(kAppIdLimit) + " characters, each a-z, A-Z, 0-9, _ or -", BadData,
       msg::kBadAppId,
       [](const nlohmann::json& config) {
         return isPlainIdentifier(config.at("appId").get<std::string>(), kAppIdLimit);
       }},
  };
  for (const char* key : {"gameId", "channelCode", "displayName"}) {
    rules.push_back({key, text, BadData, msg::kBadGameInfo,
                     [key](const nlohmann::json& config) { return isShortText(config.at(key)); }});
  }
  rules.push_back({"channelCode", "at most " + std::to_string(kChannelCodeLimit) + " bytes of UTF-8",
                   BadData, msg::kBadChannelInfo, [](const nlohmann::json& config) {
                     const nlohmann::json& code = config.at("channelCode");
                     return !code.is_string() ||
                            code.get_ref<const std::string&>().size() <= kChannelCodeLimit;
                   }});
  for (DocumentRule& rule : installerDescriptorRules("installer")) rules.push_back(std::move(rule));
  return rules;
}

GameConfig readGameConfig(const nlohmann::json& config, const std::string& packageId) {
  enforce(gameConfigRules(packageId), config);
  GameConfig read;
  read.appId = config.at("appId").get<std::string>();
  read.gameId = config.at("gameId").get<std::string>();
  read.channelCode = config.at("channelCode").get<std::string>();
  read.displayName = config.at("displayName").get<std::string>();
  read.installer = descriptorAt(config, "installer");
  read.motherId = config.at("installer").at("packageId");
  return read;
}

std::string buildCheckRequest(const GameConfig& config, const std::string& packageId) {
  const nlohmann::json request = {
      {"appId", config.appId},
      {"channelCode", config.channelCode},
      {"gameId", config.gameId},
      {"motherId", config.motherId},
      {"packageId", packageId},
      {"schemaVersion", 1},
      {"sha256", config.installer.sha256},
  };
  return request.dump();
}

void evaluateCheckResponse(const nlohmann::json& response, const std::string& packageId) {
  // 64 bits, so that no large code can wrap around to 1.
  if (answerCode(response) == 1) {
    ensureRule(response.at("data").at("packageId") == packageId, BadData, msg::kCheckMismatch,
               "data.packageId", "a string equal to the package id");
    return;
  }

  const auto errorType = response.value("errorType", std::string());
  if (errorType == "CHANNEL_DISABLED") throw Error(InvalidInput, msg::kChannelDisabled);
  if (errorType == "INVALID_PACKAGE") throw Error(InvalidInput, msg::kInvalidPackage);
  if (errorType == "STALE_TASK" || errorType == "INSTALLER_NOT_READY") {
    throw Error(NetworkFailure, msg::kResourcesUpdating);
  }
  throw Error(NetworkFailure, msg::kGameUnavailable);
}

}  // namespace cv
