// A package configuration (first line: the package id, then the JSON body as
// the shell reads it) and the check body built from it. Beside not crashing:
// a rule failure is Error(-5) with one of the configuration's or the
// descriptor's messages; an accepted configuration has every member in its
// bounds, its appId is one plain path component, and its check body is
// compact, parses back with the shell's own reader and carries exactly the
// seven members with the same values (the package id as text, the motherId
// with its JSON type). The channel record and the log members made from it
// serialise and parse back unchanged.
#include <regex>
#include <string>

#include "fuzz_support.hpp"
#include "net/game_config.hpp"
#include "net/installer_descriptor.hpp"
#include "net/json_body.hpp"
#include "net/rule_error.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

bool isShortText(const json& value, std::size_t limit) {
  return value.is_string() && !value.get_ref<const std::string&>().empty() &&
         value.get_ref<const std::string&>().size() <= limit;
}

void requireRoundTrip(const json& value) {
  FUZZ_REQUIRE(cv::parseJsonBody(value.dump()) == value);
  FUZZ_REQUIRE(cv::parseJsonBody(value.dump(2)) == value);
}

void checkAccepted(const json& config, const std::string& packageId) {
  static const std::regex appIdRule("[a-zA-Z0-9_-]{1,128}");
  FUZZ_REQUIRE(config.at("schemaVersion") == 1);
  FUZZ_REQUIRE(config.at("packageId") == packageId);
  const std::string appId = config.at("appId").get<std::string>();
  FUZZ_REQUIRE(std::regex_match(appId, appIdRule));
  const std::wstring wideAppId = cv::toWide(appId);
  FUZZ_REQUIRE(cv::parentPath(cv::joinPath(L"C:\\SDK\\apps", wideAppId)) == L"C:\\SDK\\apps");
  FUZZ_REQUIRE(cv::fileName(cv::joinPath(L"C:\\SDK\\apps", wideAppId)) == wideAppId);
  FUZZ_REQUIRE(isShortText(config.at("gameId"), 256));
  FUZZ_REQUIRE(isShortText(config.at("displayName"), 256));
  FUZZ_REQUIRE(isShortText(config.at("channelCode"), 128));
  // The caption shows the name; a text the parser accepted always converts.
  cv::toWide(config.at("displayName").get<std::string>());
  const json& installer = config.at("installer");
  cv::validateInstallerDescriptor(installer);

  std::string body;
  try {
    body = cv::buildCheckRequest(config, packageId);
  } catch (const json::out_of_range&) {
    // The one member the check needs that validation does not look at.
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
  json config;
  try {
    config = cv::parseJsonBody(std::string(input.rest()));
  } catch (const json::exception&) {
    return 0;
  }

  try {
    cv::validateGameConfig(config, packageId);
  } catch (const cv::RuleError& error) {
    FUZZ_REQUIRE(error.code == -5);
    FUZZ_REQUIRE(isOneOf(error.what(), {"安装标识不匹配", "游戏标识无效", "游戏信息无效", "渠道信息无效",
                                        "安装器类型无效", "安装器校验信息无效", "安装器大小无效",
                                        "下载地址无效"}));
    return 0;
  } catch (const json::exception&) {
    return 0;
  }
  checkAccepted(config, packageId);
  return 0;
}
