#include "net/game_config.hpp"

#include <string>

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "expect_error.hpp"

namespace cv {
namespace {

using nlohmann::json;

const std::string kDigest = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kPackage = "1234";

// "游" is three bytes in UTF-8.
std::string chinese(std::size_t characters) {
  std::string text;
  for (std::size_t i = 0; i < characters; ++i) text += "游";
  return text;
}

json validConfig() {
  return {{"schemaVersion", 1},
          {"packageId", kPackage},
          {"appId", "game_A-1"},
          {"gameId", "g"},
          {"channelCode", "c"},
          {"displayName", "测试游戏"},
          {"installer",
           {{"type", "exe"},
            {"url", "https://files.zrq.test/a.exe"},
            {"sha256", kDigest},
            {"sizeBytes", "10"},
            {"packageId", 7}}}};
}

json with(const char* key, json value) {
  json config = validConfig();
  config[key] = std::move(value);
  return config;
}

void expectInvalid(const json& config, const char* message) {
  SCOPED_TRACE(config.dump().substr(0, 160));
  expectError([&] { validateGameConfig(config, kPackage); }, -5, message);
}

TEST(GameConfig, AcceptsAValidConfiguration) {
  EXPECT_NO_THROW(validateGameConfig(validConfig(), kPackage));
  EXPECT_NO_THROW(validateGameConfig(with("schemaVersion", 1.0), kPackage));
}

TEST(GameConfig, SchemaVersionAndPackageIdMustMatch) {
  expectInvalid(with("schemaVersion", 2), "安装标识不匹配");
  expectInvalid(with("schemaVersion", "1"), "安装标识不匹配");
  expectInvalid(with("packageId", 1234), "安装标识不匹配");
  expectInvalid(with("packageId", "01234"), "安装标识不匹配");
  expectInvalid(with("packageId", "12345"), "安装标识不匹配");
  // packageId is not looked at once the schema version is wrong.
  json config = with("schemaVersion", 2);
  config.erase("packageId");
  expectInvalid(config, "安装标识不匹配");
}

TEST(GameConfig, AppIdMustBe1To128SafeCharacters) {
  EXPECT_NO_THROW(validateGameConfig(with("appId", std::string(128, 'x')), kPackage));
  for (const std::string& appId : {std::string(129, 'x'), std::string(), std::string("a.b"),
                                   std::string("a b"), std::string("游戏")}) {
    expectInvalid(with("appId", appId), "游戏标识无效");
  }
  EXPECT_THROW(validateGameConfig(with("appId", 5), kPackage), json::type_error);
}

TEST(GameConfig, NamesMustBeNonEmptyTextOfAtMost256Bytes) {
  EXPECT_NO_THROW(validateGameConfig(with("displayName", chinese(85)), kPackage));
  EXPECT_NO_THROW(validateGameConfig(with("gameId", std::string(256, 'g')), kPackage));
  expectInvalid(with("displayName", chinese(86)), "游戏信息无效");
  expectInvalid(with("displayName", 5), "游戏信息无效");
  expectInvalid(with("gameId", ""), "游戏信息无效");
  expectInvalid(with("gameId", std::string(257, 'g')), "游戏信息无效");
  expectInvalid(with("channelCode", nullptr), "游戏信息无效");
}

TEST(GameConfig, ChannelCodeIsLimitedTo128Bytes) {
  EXPECT_NO_THROW(validateGameConfig(with("channelCode", std::string(128, 'c')), kPackage));
  expectInvalid(with("channelCode", std::string(129, 'c')), "渠道信息无效");
  expectInvalid(with("channelCode", chinese(43)), "渠道信息无效");  // 129 bytes
  expectInvalid(with("channelCode", std::string(256, 'c')), "渠道信息无效");
  expectInvalid(with("channelCode", std::string(257, 'c')), "游戏信息无效");
}

TEST(GameConfig, ChecksTheInstallerLast) {
  json config = validConfig();
  config["installer"]["type"] = "zip";
  expectInvalid(config, "安装器类型无效");
  config["displayName"] = "";
  expectInvalid(config, "游戏信息无效");
}

TEST(GameConfig, MissingMembersAreLibraryErrors) {
  for (const char* key : {"schemaVersion", "appId", "gameId", "displayName", "installer"}) {
    json config = validConfig();
    config.erase(key);
    EXPECT_THROW(validateGameConfig(config, kPackage), json::out_of_range) << key;
  }
  EXPECT_THROW(validateGameConfig(json::array(), kPackage), json::type_error);
}

// --- the authorization check ---

TEST(CheckRequest, IsCompactSortedAndKeepsTheMotherIdType) {
  EXPECT_EQ(buildCheckRequest(validConfig(), kPackage),
            R"({"appId":"game_A-1","channelCode":"c","gameId":"g","motherId":7,)"
            R"("packageId":"1234","schemaVersion":1,"sha256":")" +
                kDigest + R"("})");

  json config = validConfig();
  config["gameId"] = "游戏";
  config["installer"]["packageId"] = "7";
  EXPECT_EQ(buildCheckRequest(config, kPackage),
            R"({"appId":"game_A-1","channelCode":"c","gameId":"游戏","motherId":"7",)"
            R"("packageId":"1234","schemaVersion":1,"sha256":")" +
                kDigest + R"("})");
}

TEST(CheckRequest, RequiresTheInstallersPackageId) {
  json config = validConfig();
  config["installer"].erase("packageId");
  EXPECT_THROW(buildCheckRequest(config, kPackage), json::out_of_range);
}

void expectRefused(const char* response, int code, const char* message) {
  SCOPED_TRACE(response);
  expectError([&] { evaluateCheckResponse(json::parse(response), kPackage); }, code, message);
}

TEST(CheckResponse, AuthorizesOnlyCodeOneWithTheEchoedPackageId) {
  EXPECT_NO_THROW(evaluateCheckResponse(json::parse(R"({"code":1,"data":{"packageId":"1234"}})"),
                                        kPackage));
  expectRefused(R"({"code":1,"data":{"packageId":1234}})", -5, "下载验证结果不匹配");
  expectRefused(R"({"code":1,"data":{"packageId":"4321"}})", -5, "下载验证结果不匹配");
  expectRefused(R"({"code":4294967297,"data":{"packageId":"1234"}})", -7,
                "游戏暂不可用，请稍后重试");
}

TEST(CheckResponse, CodesBeyondTheIntegerRangeAreRefusals) {
  expectRefused(R"({"code":1e300,"data":{"packageId":"1234"}})", -7, "游戏暂不可用，请稍后重试");
  expectRefused(R"({"code":-1e19,"data":{"packageId":"1234"}})", -7, "游戏暂不可用，请稍后重试");
  expectRefused(R"({"code":9.3e18,"errorType":"CHANNEL_DISABLED"})", -1, "当前渠道暂不允许下载");
  // Within the range a number is read as an integer, toward zero.
  EXPECT_NO_THROW(evaluateCheckResponse(json::parse(R"({"code":1.0,"data":{"packageId":"1234"}})"),
                                        kPackage));
  expectRefused(R"({"code":0.5})", -7, "游戏暂不可用，请稍后重试");
}

TEST(CheckResponse, MapsRefusalsByExactErrorType) {
  expectRefused(R"({"code":0})", -7, "游戏暂不可用，请稍后重试");
  expectRefused(R"({})", -7, "游戏暂不可用，请稍后重试");
  expectRefused(R"({"code":0,"errorType":"CHANNEL_DISABLED"})", -1, "当前渠道暂不允许下载");
  expectRefused(R"({"code":2,"errorType":"INVALID_PACKAGE"})", -1, "安装文件标识无效，请重新下载");
  expectRefused(R"({"code":0,"errorType":"STALE_TASK"})", -7, "安装资源正在更新，请稍后重试");
  expectRefused(R"({"code":-1,"errorType":"INSTALLER_NOT_READY"})", -7,
                "安装资源正在更新，请稍后重试");
  expectRefused(R"({"code":0,"errorType":"channel_disabled"})", -7, "游戏暂不可用，请稍后重试");
  expectRefused(R"({"errorType":"CHANNEL_DISABLED"})", -1, "当前渠道暂不允许下载");
}

TEST(CheckResponse, UnusableShapesAreLibraryErrors) {
  for (const char* response : {R"({"code":"1"})", R"({"code":null})", R"({"code":1,"data":[]})",
                               R"({"code":0,"errorType":5})", R"([])"}) {
    EXPECT_THROW(evaluateCheckResponse(json::parse(response), kPackage), json::type_error)
        << response;
  }
  EXPECT_THROW(evaluateCheckResponse(json::parse(R"({"code":1})"), kPackage), json::out_of_range);
  EXPECT_THROW(evaluateCheckResponse(json::parse(R"({"code":1,"data":{}})"), kPackage),
               json::out_of_range);
}

}  // namespace
}  // namespace cv
