#include "net/game_config.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <cstdint>

#include "core/error.hpp"
#include "net/installer_descriptor.hpp"
#include "net/rule_error.hpp"
#include "net/text_rules.hpp"

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

void validateGameConfig(const nlohmann::json& config, const std::string& packageId) {
  // packageId is read only once schemaVersion is right.
  ensureRule(config.at("schemaVersion") == 1, BadData, msg::kIdentityMismatch, "schemaVersion",
             "the number 1");
  ensureRule(config.at("packageId") == packageId, BadData, msg::kIdentityMismatch, "packageId",
             "a string equal to the package id in the setup file name");

  ensureRule(isPlainIdentifier(config.at("appId").get<std::string>(), kAppIdLimit), BadData,
             msg::kBadAppId, "appId", "1 to 128 characters, each a-z, A-Z, 0-9, _ or -");

  for (const char* key : {"gameId", "channelCode", "displayName"}) {
    ensureRule(isShortText(config.at(key)), BadData, msg::kBadGameInfo, key,
               "a non-empty string of at most 256 bytes of UTF-8");
  }
  ensureRule(config.at("channelCode").get_ref<const std::string&>().size() <= kChannelCodeLimit,
             BadData, msg::kBadChannelInfo, "channelCode", "at most 128 bytes of UTF-8");

  validateInstallerDescriptor(config.at("installer"));
}

std::string buildCheckRequest(const nlohmann::json& config, const std::string& packageId) {
  const nlohmann::json& installer = config.at("installer");
  const nlohmann::json request = {
      {"appId", config.at("appId")},
      {"channelCode", config.at("channelCode")},
      {"gameId", config.at("gameId")},
      {"motherId", installer.at("packageId")},
      {"packageId", packageId},
      {"schemaVersion", 1},
      {"sha256", installer.at("sha256")},
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
