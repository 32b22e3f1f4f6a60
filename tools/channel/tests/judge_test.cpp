#include "judge.hpp"
#include "core/messages.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "rule_tables.hpp"

namespace zrq::channel {
namespace {

using nlohmann::json;

const std::string kHosts = "files.example.com";

json config() {
  return {{"schemaVersion", 1}, {"packageId", "1001"}, {"appId", "game_1"}, {"gameId", "g"},
          {"channelCode", "c"}, {"displayName", "游戏"},
          {"installer",
           {{"type", "exe"}, {"url", "https://files.example.com/pc/i/1001.exe"},
            {"sha256", std::string(64, 'a')}, {"sizeBytes", "10"}, {"packageId", 7}}}};
}

json manifest(const std::string& version, json shell = nullptr) {
  json doc = {{"schemaVersion", 1}, {"versionCode", version}};
  if (!shell.is_null()) doc["shell"] = std::move(shell);
  return doc;
}

json shellDescriptor(const std::string& type = "exe",
                     const std::string& url = "https://files.example.com/pc/shell/3.exe") {
  return {{"type", type}, {"url", url}, {"sha256", std::string(64, 'b')}, {"sizeBytes", "5"}};
}

TEST(JudgePackageId, AcceptsWhatTheShellReadsFromAFileName) {
  EXPECT_FALSE(packageIdProblem("1", "id"));
  EXPECT_FALSE(packageIdProblem("4294967295", "id"));
  for (const char* bad : {"", "0", "0123", "12345678901", "12 (3)", "1a", "-1"}) {
    const auto problem = packageIdProblem(bad, "--package-id");
    ASSERT_TRUE(problem) << bad;
    EXPECT_EQ(problem->field, "--package-id");
    EXPECT_EQ(problem->player, "安装文件名称不完整，请重新下载") << bad;
  }
  EXPECT_EQ(packageIdProblem("4294967296", "id")->player, "安装文件标识无效，请重新下载");
}

TEST(JudgeJsonBody, TheLimitIs131072BytesThenStrictJson) {
  json parsed;
  EXPECT_FALSE(judgeJsonBody("{}" + std::string(131070, ' '), parsed));
  const auto tooBig = judgeJsonBody("{}" + std::string(131071, ' '), parsed);
  ASSERT_TRUE(tooBig);
  EXPECT_EQ(tooBig->player, "配置信息过大");
  EXPECT_EQ(tooBig->found, "131073 bytes");
  const auto notJson = judgeJsonBody("{\"a\":1,}", parsed);
  ASSERT_TRUE(notJson);
  EXPECT_EQ(notJson->player, cv::msg::kUnexpectedFailure);
}

TEST(JudgeGameConfig, TheShellsRulesThenTheDownloadHost) {
  EXPECT_TRUE(judgeGameConfig(config(), "1001", kHosts).empty());
  EXPECT_EQ(judgeGameConfig(config(), "1002", kHosts).at(0).field, "packageId");

  json elsewhere = config();
  elsewhere["installer"]["url"] = "https://cdn.example.com/pc/i/1001.exe";
  const auto problems = judgeGameConfig(elsewhere, "1001", kHosts);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].field, "installer.url");
  EXPECT_EQ(problems[0].player, "下载来源未获授权");

  json notUtf8 = config();
  notUtf8["gameId"] = "g\xff";
  EXPECT_EQ(judgeGameConfig(notUtf8, "1001", kHosts).at(0).player, cv::msg::kUnexpectedFailure);
}

TEST(JudgeShellManifest, NoShellIsNeededUntilTheVersionIsAboveTheShells) {
  const ManifestVerdict same = judgeShellManifest(manifest("2"), 2, kHosts);
  EXPECT_TRUE(same.problems.empty());
  EXPECT_FALSE(same.shell.has_value());
  EXPECT_EQ(same.versionCode, 2u);
}

TEST(JudgeShellManifest, AnAnnouncedShellIsJudgedAsOlderShellsTakeIt) {
  const ManifestVerdict older = judgeShellManifest(manifest("2", shellDescriptor()), 2, kHosts);
  EXPECT_TRUE(older.problems.empty());
  EXPECT_FALSE(older.updatesOwnVersion);
  EXPECT_EQ(older.shell->size, 5u);

  const ManifestVerdict msi = judgeShellManifest(manifest("2", shellDescriptor("msi")), 2, kHosts);
  ASSERT_EQ(msi.problems.size(), 1u);
  EXPECT_EQ(msi.problems[0].field, "shell.type");
  EXPECT_EQ(msi.problems[0].player, "安装助手更新文件类型无效");

  const ManifestVerdict elsewhere = judgeShellManifest(
      manifest("3", shellDescriptor("exe", "https://cdn.example.com/3.exe")), 2, kHosts);
  ASSERT_EQ(elsewhere.problems.size(), 1u);
  EXPECT_EQ(elsewhere.problems[0].field, "shell.url");
  EXPECT_TRUE(elsewhere.updatesOwnVersion);
}

// Every problem the toolkit lists, as the shared tables (tests/rules) say:
// the first rule the shell would throw comes first.
std::vector<std::pair<std::string, std::string>> expectedProblems(const cv::testing::RuleCase& c) {
  std::vector<std::pair<std::string, std::string>> expected;
  const nlohmann::json list = c.toolkit.is_null() ? (c.expect.is_null() ? json::array() : json::array({c.expect}))
                                                  : c.toolkit;
  for (const json& problem : list) {
    expected.emplace_back(problem.at(0).get<std::string>(),
                          problem.at(2) == "library" ? std::string(cv::msg::kUnexpectedFailure)
                                                     : cv::testing::messageNamed(problem.at(2)));
  }
  return expected;
}

void expectProblems(const cv::testing::RuleCase& c, const std::vector<Problem>& problems) {
  SCOPED_TRACE(c.name);
  if (c.expect == "library" && c.toolkit.is_null()) {
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.front().player, cv::msg::kUnexpectedFailure);
    return;
  }
  std::vector<std::pair<std::string, std::string>> listed;
  for (const Problem& problem : problems) listed.emplace_back(problem.field, problem.player);
  EXPECT_EQ(listed, expectedProblems(c));
  for (const Problem& problem : problems) {
    if (problem.player != cv::msg::kUnexpectedFailure) {
      EXPECT_FALSE(problem.limit.empty()) << problem.field;
    }
  }
}

TEST(JudgeTables, ConfigurationsAsTheShellJudgesThem) {
  const std::string id = cv::testing::ruleTable("game_config").at("packageId");
  for (const auto& c : cv::testing::ruleCases("game_config"))
    expectProblems(c, judgeGameConfig(c.document, id, "files.zrq.test"));
}

TEST(JudgeTables, ManifestsAsTheShellJudgesThem) {
  const std::uint32_t own = cv::testing::ruleTable("shell_manifest").at("ownVersion");
  for (const auto& c : cv::testing::ruleCases("shell_manifest"))
    expectProblems(c, judgeShellManifest(c.document, own, "files.zrq.test").problems);
}

}  // namespace
}  // namespace zrq::channel
