// Each rule that fails names the member it judged; the channel toolkit shows
// that name and the rule's limit beside the message a player sees.
#include "net/rule_error.hpp"

#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "net/game_config.hpp"
#include "net/installer_descriptor.hpp"
#include "net/json_body.hpp"
#include "net/request_url.hpp"
#include "net/setup_file_name.hpp"
#include "net/shell_manifest.hpp"

namespace cv {
namespace {

using nlohmann::json;

const std::string kDigest(64, 'a');

json config() {
  return {{"schemaVersion", 1},     {"packageId", "1234"},     {"appId", "game_1"},
          {"gameId", "g"},          {"channelCode", "c"},      {"displayName", "游戏"},
          {"installer",
           {{"type", "exe"}, {"url", "https://files.zrq.test/a.exe"}, {"sha256", kDigest},
            {"sizeBytes", "10"}, {"packageId", 7}}}};
}

template <typename Call>
RuleError ruleFrom(Call&& call) {
  try {
    call();
  } catch (const RuleError& error) {
    return error;
  }
  ADD_FAILURE() << "no RuleError";
  return RuleError(0, "", "", "");
}

std::string fieldOf(const json& broken) {
  const RuleError error = ruleFrom([&] { validateGameConfig(broken, "1234"); });
  EXPECT_NE(std::string(error.limit), "");
  return error.field;
}

TEST(RuleFields, ConfigurationRulesNameTheirMember) {
  const auto broken = [](const std::string& pointer, json value) {
    json doc = config();
    doc[json::json_pointer(pointer)] = std::move(value);
    return doc;
  };
  EXPECT_EQ(fieldOf(broken("/schemaVersion", 2)), "schemaVersion");
  EXPECT_EQ(fieldOf(broken("/packageId", "1235")), "packageId");
  EXPECT_EQ(fieldOf(broken("/appId", "a.b")), "appId");
  EXPECT_EQ(fieldOf(broken("/gameId", "")), "gameId");
  EXPECT_EQ(fieldOf(broken("/displayName", 5)), "displayName");
  EXPECT_EQ(fieldOf(broken("/channelCode", std::string(129, 'c'))), "channelCode");
  EXPECT_EQ(fieldOf(broken("/channelCode", std::string(257, 'c'))), "channelCode");
  EXPECT_EQ(fieldOf(broken("/installer/type", "EXE")), "installer.type");
  EXPECT_EQ(fieldOf(broken("/installer/sha256", "A")), "installer.sha256");
  EXPECT_EQ(fieldOf(broken("/installer/sizeBytes", "0")), "installer.sizeBytes");
  EXPECT_EQ(fieldOf(broken("/installer/url", 1)), "installer.url");
}

TEST(RuleFields, TheManifestNamesTheShellsMembers) {
  json manifest = {{"schemaVersion", 1},
                   {"versionCode", "3"},
                   {"shell",
                    {{"type", "msi"}, {"url", "https://files.zrq.test/s.exe"}, {"sha256", kDigest},
                     {"sizeBytes", "10"}}}};
  EXPECT_EQ(ruleFrom([&] { evaluateShellManifest(manifest, 2); }).field, "shell.type");
  manifest["shell"]["sizeBytes"] = "01";
  EXPECT_EQ(ruleFrom([&] { evaluateShellManifest(manifest, 2); }).field, "shell.sizeBytes");
  manifest["versionCode"] = 3;
  EXPECT_EQ(ruleFrom([&] { evaluateShellManifest(manifest, 2); }).field, "versionCode");
  manifest["schemaVersion"] = "1";
  EXPECT_EQ(ruleFrom([&] { evaluateShellManifest(manifest, 2); }).field, "schemaVersion");
}

TEST(RuleFields, CheckAnswerFileNameAndBodySizeAreNamed) {
  EXPECT_EQ(ruleFrom([] { evaluateCheckResponse({{"code", 1}, {"data", {{"packageId", 1}}}}, "1"); })
                .field,
            "data.packageId");
  EXPECT_EQ(ruleFrom([] { packageIdFromFileName(L"Game_Setup_pc0.exe"); }).field, "file name");
  EXPECT_EQ(ruleFrom([] { packageIdFromFileName(L"Game_Setup_pc4294967296.exe"); }).field,
            "file name");
  std::string body(kJsonBodyLimit, ' ');
  const RuleError tooBig = ruleFrom([&] { appendJsonChunk(body, "x", 1); });
  EXPECT_EQ(tooBig.field, "document size");
  EXPECT_EQ(tooBig.code, NetworkFailure);
}

TEST(RuleFields, UrlRulesAgainstGivenHostsOrNone) {
  RequestUrl url;
  url.https = true;
  url.host = L"Files.Example.COM";
  url.requestPath = L"/a.exe";
  const std::string hosts = "files.example.com";
  EXPECT_NO_THROW(checkRequestUrlAgainst(url, &hosts));
  EXPECT_NO_THROW(checkRequestUrlAgainst(url, nullptr));
  url.host = L"cdn.example.com";
  EXPECT_NO_THROW(checkRequestUrlAgainst(url, nullptr));
  const RuleError other = ruleFrom([&] { checkRequestUrlAgainst(url, &hosts); });
  EXPECT_STREQ(other.what(), "下载来源未获授权");
  EXPECT_EQ(other.code, NetworkFailure);
  url.https = false;
  EXPECT_STREQ(ruleFrom([&] { checkRequestUrlAgainst(url, nullptr); }).what(), "下载必须使用HTTPS");
}

}  // namespace
}  // namespace cv
