// The shell's rules for the documents of its servers, run over the shared
// tables of tests/rules, and what it reads from an accepted document.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "net/rules/game_config.hpp"
#include "net/rules/rule_error.hpp"
#include "net/rules/shell_manifest.hpp"
#include "rule_tables.hpp"

namespace cv {
namespace {

using nlohmann::json;
using testing::RuleCase;
using testing::ruleCases;
using testing::ruleTable;

void expectOutcome(const RuleCase& c, const std::function<void()>& judge) {
  SCOPED_TRACE(c.name);
  if (c.expect.is_null()) {
    EXPECT_NO_THROW(judge());
    return;
  }
  if (c.expect == "library") {
    EXPECT_THROW(judge(), json::exception);
    return;
  }
  try {
    judge();
    ADD_FAILURE() << "accepted";
  } catch (const RuleError& error) {
    EXPECT_EQ(error.field, c.expect.at(0).get<std::string>());
    EXPECT_EQ(error.code, c.expect.at(1).get<int>());
    EXPECT_EQ(error.what(), testing::messageNamed(c.expect.at(2)));
    EXPECT_FALSE(error.limit.empty());
  } catch (const Error& error) {
    EXPECT_TRUE(c.expect.at(0).is_null()) << "a refusal names no field";
    EXPECT_EQ(error.code, c.expect.at(1).get<int>());
    EXPECT_EQ(error.what(), testing::messageNamed(c.expect.at(2)));
  }
}

TEST(DocumentRules, ConfigurationsAndTheirInstallers) {
  const std::string packageId = ruleTable("game_config").at("packageId");
  for (const RuleCase& c : ruleCases("game_config"))
    expectOutcome(c, [&] { readGameConfig(c.document, packageId); });
}

TEST(DocumentRules, ShellManifests) {
  const std::uint32_t own = ruleTable("shell_manifest").at("ownVersion");
  for (const RuleCase& c : ruleCases("shell_manifest"))
    expectOutcome(c, [&] { readShellManifest(c.document, own); });
}

TEST(DocumentRules, CheckAnswers) {
  const std::string packageId = ruleTable("check_answer").at("packageId");
  for (const RuleCase& c : ruleCases("check_answer"))
    expectOutcome(c, [&] { evaluateCheckResponse(c.document, packageId); });
}

TEST(DocumentRules, AnAcceptedConfigurationIsReadOnce) {
  json served = testing::expandedValue(ruleTable("game_config").at("document"));
  served["installer"]["type"] = "msi";
  served["installer"]["packageId"] = {{"b", 1}, {"a", nullptr}};
  const GameConfig config = readGameConfig(served, "1234");
  EXPECT_EQ(config.appId, "game_A-1");
  EXPECT_TRUE(config.installer.isPackage());
  EXPECT_EQ(config.installer.size, 10u);
  EXPECT_EQ(config.motherId, served["installer"]["packageId"]);
  EXPECT_EQ(buildCheckRequest(config, "1234"),
            R"({"appId":"game_A-1","channelCode":"c","gameId":"g","motherId":{"a":null,"b":1},)"
            R"("packageId":"1234","schemaVersion":1,"sha256":")" + config.installer.sha256 + R"("})");
  served["gameId"] = "游戏";
  served["installer"]["packageId"] = "7";
  EXPECT_EQ(buildCheckRequest(readGameConfig(served, "1234"), "1234"),
            R"({"appId":"game_A-1","channelCode":"c","gameId":"游戏","motherId":"7",)"
            R"("packageId":"1234","schemaVersion":1,"sha256":")" + config.installer.sha256 + R"("})");
}

TEST(DocumentRules, AnAnnouncedShellCarriesItsVersionCode) {
  json served = testing::expandedValue(ruleTable("shell_manifest").at("document"));
  EXPECT_FALSE(readShellManifest(served, 3).has_value());
  const std::optional<ShellUpdate> update = readShellManifest(served, 2);
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->versionCode, 3u);
  EXPECT_EQ(update->shell.size, 2048u);
  EXPECT_EQ(update->shell.publisherSha256, std::string(64, 'c'));
  for (const auto& [text, code] : {std::pair<const char*, std::uint32_t>{"1", 1}, {"999999999", 999999999},
                                   {"4294967295", 4294967295u}})
    EXPECT_EQ(parseVersionCode(text), code);
}

}  // namespace
}  // namespace cv
