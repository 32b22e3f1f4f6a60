// A package configuration (first line: the package id, then the JSON body as
// the shell reads it) and the check body built from it. Beside not crashing:
// the outcome is the one the rules give when checked in order as written
// (appId with the regular expression "[a-zA-Z0-9_-]{1,128}", the installer
// with the descriptor rules); an accepted configuration has every member in its
// bounds, its appId is one plain path component, and its check body is
// compact, parses back with the shell's own reader and carries exactly the
// seven members with the same values (the package id as text, the motherId
// with its JSON type). The channel record and the log members made from it
// serialise and parse back unchanged.
#include <regex>
#include <string>

#include "fuzz_support.hpp"
#include "json_rules.hpp"
#include "net/rules/game_config.hpp"
#include "net/rules/json_body.hpp"
#include "net/rules/rule_error.hpp"
#include "platform/rules/path.hpp"
#include "platform/text.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

bool isShortText(const json& value, std::size_t limit) {
  return value.is_string() && !value.get_ref<const std::string&>().empty() &&
         value.get_ref<const std::string&>().size() <= limit;
}

Outcome expectedOutcome(const json& config, const std::string& packageId) {
  static const std::regex appIdRule("[a-zA-Z0-9_-]{1,128}");
  if (!config.is_object() || !config.contains("schemaVersion")) return libraryError();
  if (config["schemaVersion"] != 1) return refused(-5, "安装标识不匹配");
  if (!config.contains("packageId")) return libraryError();
  if (config["packageId"] != json(packageId)) return refused(-5, "安装标识不匹配");
  if (!config.contains("appId") || !config["appId"].is_string()) return libraryError();
  if (!std::regex_match(config["appId"].get<std::string>(), appIdRule)) return refused(-5, "游戏标识无效");
  for (const char* key : {"gameId", "channelCode", "displayName"}) {
    if (!config.contains(key)) return libraryError();
    if (!isShortText(config[key], 256)) return refused(-5, "游戏信息无效");
  }
  if (!isShortText(config["channelCode"], 128)) return refused(-5, "渠道信息无效");
  if (!config.contains("installer")) return libraryError();
  return expectedDescriptorOutcome(config["installer"]);
}

void requireRoundTrip(const json& value) {
  FUZZ_REQUIRE(cv::parseJsonBody(value.dump()) == value);
  FUZZ_REQUIRE(cv::parseJsonBody(value.dump(2)) == value);
}

void checkAccepted(const json& config, const std::string& packageId) {
  const std::string appId = config.at("appId").get<std::string>();
  const std::wstring wideAppId = cv::toWide(appId);
  FUZZ_REQUIRE(cv::parentPath(cv::joinPath(L"C:\\SDK\\apps", wideAppId)) == L"C:\\SDK\\apps");
  FUZZ_REQUIRE(cv::fileName(cv::joinPath(L"C:\\SDK\\apps", wideAppId)) == wideAppId);
  // The caption shows the name; a text the parser accepted always converts.
  cv::toWide(config.at("displayName").get<std::string>());
  const json& installer = config.at("installer");

  std::string body;
  try {
    body = cv::buildCheckRequest(cv::readGameConfig(config, packageId), packageId);
  } catch (const json::out_of_range&) {
    // The one member the check needs that the rules do not look at.
    FUZZ_REQUIRE(!installer.contains("packageId"));
    return;
  }
  const json request = cv::parseJsonBody(body);
  FUZZ_REQUIRE(request.dump() == body);
  FUZZ_REQUIRE(request.is_object() && request.size() == 7);
  FUZZ_REQUIRE(request.at("packageId").is_string() && request.at("packageId") == packageId);
  FUZZ_REQUIRE(request.at("schemaVersion").is_number_integer() && request.at("schemaVersion") == 1);
  FUZZ_REQUIRE(request.at("appId") == config.at("appId"));
  FUZZ_REQUIRE(request.at("channelCode") == config.at("channelCode"));
  FUZZ_REQUIRE(request.at("gameId") == config.at("gameId"));
  FUZZ_REQUIRE(request.at("sha256") == installer.at("sha256"));
  FUZZ_REQUIRE(request.at("motherId") == installer.at("packageId"));
  FUZZ_REQUIRE(request.at("motherId").type() == installer.at("packageId").type());

  requireRoundTrip(json{{"channelCode", config.at("channelCode")}});
  requireRoundTrip(json{{"appId", appId},
                        {"channelCode", config.at("channelCode")},
                        {"motherId", installer.at("packageId")},
                        {"packageId", packageId},
                        {"sha256", installer.at("sha256")}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::string packageId = packageIdOr1234(input.until('\n'));
  std::optional<json> parsed = documentFrom(input.rest());
  if (!parsed) return 0;
  json& config = *parsed;

  const Outcome outcome = outcomeOf([&] {
    try {
      cv::readGameConfig(config, packageId);
    } catch (const json::out_of_range&) {
      // Read once the rules passed: the check's motherId.
      if (config.is_object() && config.contains("installer") && config["installer"].is_object() &&
          !config["installer"].contains("packageId") &&
          expectedOutcome(config, packageId).kind == Outcome::Accepted) {
        return;
      }
      throw;
    }
  });
  FUZZ_REQUIRE(outcome == expectedOutcome(config, packageId));
  if (outcome.kind != Outcome::Accepted) return 0;
  checkAccepted(config, packageId);
  return 0;
}
