#include "net/shell_manifest.hpp"

#include <string>

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "expect_error.hpp"

namespace cv {
namespace {

using nlohmann::json;

constexpr std::uint32_t kOwn = 2;

json shellDescriptor() {
  return {{"type", "exe"},
          {"url", "https://files.zrq.test/pc/shell/ZRQSetup-3.exe"},
          {"sha256", std::string(64, 'b')},
          {"sizeBytes", "2048"},
          {"publisherSha256", std::string(64, 'c')}};
}

json manifest(json versionCode) {
  return {{"schemaVersion", 1}, {"versionCode", std::move(versionCode)}, {"shell", shellDescriptor()}};
}

TEST(VersionCode, ParsesDecimalTextUpToTheUnsigned32BitMaximum) {
  EXPECT_EQ(parseVersionCode("1"), 1u);
  EXPECT_EQ(parseVersionCode("999999999"), 999999999u);
  EXPECT_EQ(parseVersionCode("4294967295"), 4294967295u);
}

TEST(VersionCode, RejectsEverythingElse) {
  for (const json& value : {json(3), json("03"), json("0"), json(""), json(" 3"), json("3 "),
                            json("4294967296"), json("9999999999"), json("12345678901"),
                            json(nullptr), json("+3")}) {
    SCOPED_TRACE(value.dump());
    expectError([&] { parseVersionCode(value); }, -1, "安装助手版本信息无效");
  }
}

TEST(ShellManifest, NoUpdateUnlessStrictlyNewerAndShellIsThenNotRead) {
  json document = {{"schemaVersion", 1}, {"versionCode", "2"}};
  EXPECT_TRUE(evaluateShellManifest(document, kOwn).is_null());
  document["versionCode"] = "1";
  EXPECT_TRUE(evaluateShellManifest(document, kOwn).is_null());
  document["shell"] = "not an object";
  EXPECT_TRUE(evaluateShellManifest(document, kOwn).is_null());
}

TEST(ShellManifest, NewerVersionYieldsTheShellWithANumericVersionCode) {
  json document = manifest("3");
  document["schemaVersion"] = 1.0;
  document["shell"]["versionCode"] = "3";
  const json update = evaluateShellManifest(document, kOwn);
  json expected = shellDescriptor();
  expected["versionCode"] = 3u;
  EXPECT_EQ(update, expected);
  EXPECT_TRUE(update.at("versionCode").is_number_unsigned());

  EXPECT_EQ(evaluateShellManifest(manifest("4294967295"), kOwn).at("versionCode"), 4294967295u);
}

TEST(ShellManifest, SchemaVersionMustBeTheNumberOne) {
  for (const json& schema : {json("1"), json(2), json(nullptr)}) {
    json document = manifest("3");
    document["schemaVersion"] = schema;
    expectError([&] { evaluateShellManifest(document, kOwn); }, -1, "安装助手版本配置不兼容");
  }
  json missing = manifest(3);  // versionCode is also bad, but not looked at
  missing.erase("schemaVersion");
  EXPECT_THROW(evaluateShellManifest(missing, kOwn), json::out_of_range);
}

TEST(ShellManifest, NewerShellMustBeAValidExeDescriptor) {
  json document = manifest("3");
  document["shell"]["type"] = "msi";
  expectError([&] { evaluateShellManifest(document, kOwn); }, -1, "安装助手更新文件类型无效");
  document["shell"]["type"] = "zip";
  expectError([&] { evaluateShellManifest(document, kOwn); }, -5, "安装器类型无效");
  document = manifest("3");
  document["shell"]["sizeBytes"] = "0";
  expectError([&] { evaluateShellManifest(document, kOwn); }, -5, "安装器大小无效");
  document.erase("shell");
  EXPECT_THROW(evaluateShellManifest(document, kOwn), json::out_of_range);
}

TEST(ShellManifest, VersionCodeMustBeValidText) {
  expectError([&] { evaluateShellManifest(manifest(3), kOwn); }, -1, "安装助手版本信息无效");
  expectError([&] { evaluateShellManifest(manifest("4294967296"), kOwn); }, -1,
              "安装助手版本信息无效");
}

TEST(ShellManifest, DocumentsThatAreNotObjectsAreLibraryErrors) {
  EXPECT_THROW(evaluateShellManifest(json::array(), kOwn), json::type_error);
  EXPECT_THROW(evaluateShellManifest(json(nullptr), kOwn), json::type_error);
}

}  // namespace
}  // namespace cv
