// The publishing commands and check on a scratch tree, offline.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "commands.hpp"
#include "pe_builder.hpp"
#include "tree_files.hpp"

namespace zrq::channel {
namespace {

namespace fs = std::filesystem;

class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zrq-channel-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    root_ = dir_ + "/tree";
    installer_ = dir_ + "/setup.exe";
    writeFileAtomic(installer_, std::string(70000, 'i'));
  }
  void TearDown() override { fs::remove_all(dir_); }

  PackageOptions package(const std::string& id) const {
    PackageOptions options;
    options.root = root_;
    options.packageId = id;
    options.installer = installer_;
    options.url = "https://files.example.com/pc/installers/" + id + "/setup.exe";
    options.appId = "game_1";
    options.gameId = "g";
    options.channelCode = "c";
    options.displayName = "游戏";
    options.motherId = "7";
    options.store = true;
    options.fileHost = "files.example.com";
    return options;
  }

  nlohmann::json check() const {
    Report report("check");
    runCheck({root_, "files.example.com", 2}, report);
    return report.toJson();
  }

  std::string dir_, root_, installer_;
};

const nlohmann::json& entry(const nlohmann::json& report, const std::string& name) {
  for (const auto& item : report["entries"]) {
    if (item["name"] == name) return item;
  }
  static const nlohmann::json none;
  ADD_FAILURE() << "no entry " << name << " in " << report.dump();
  return none;
}

TEST_F(Tree, PackageWritesTheConfigurationAndStoresTheInstaller) {
  Report report("package");
  runPackage(package("1001"), report);
  ASSERT_TRUE(report.ok()) << report.toJson().dump();
  const auto config = nlohmann::json::parse(*readSmallFile(root_ + "/pc/config/1001.json", 1 << 20));
  EXPECT_EQ(config["installer"]["sizeBytes"], "70000");
  EXPECT_EQ(config["installer"]["type"], "exe");
  EXPECT_EQ(config["installer"]["packageId"], 7);
  EXPECT_EQ(digestFile(root_ + "/pc/installers/1001/setup.exe").sha256,
            config["installer"]["sha256"]);
  EXPECT_TRUE(entry(check(), "pc/config/1001.json")["ok"]);
}

TEST_F(Tree, APackageBreakingARuleWritesNothing) {
  PackageOptions options = package("1001");
  options.channelCode = std::string(129, 'c');
  Report report("package");
  runPackage(options, report);
  EXPECT_EQ(report.exitCode(), 1);
  const nlohmann::json json = report.toJson();
  const auto& problem = json["entries"][0]["problems"][0];
  EXPECT_EQ(problem["field"], "channelCode (--channel-code)");
  EXPECT_EQ(problem["playerMessage"], "渠道信息无效");
  EXPECT_FALSE(fs::exists(root_));

  options = package("1001");
  options.url = "https://files.example.com/pc/installers/";  // no file to store it as
  Report noPlace("package");
  runPackage(options, noPlace);
  EXPECT_FALSE(noPlace.ok());
  EXPECT_FALSE(fs::exists(root_));
}

TEST_F(Tree, NewInstallerBytesNeedANewUrl) {
  Report first("package");
  runPackage(package("1001"), first);
  ASSERT_TRUE(first.ok());
  Report same("package");
  runPackage(package("1001"), same);  // the same bytes again: fine
  EXPECT_TRUE(same.ok()) << same.toJson().dump();

  const std::string before = *readSmallFile(root_ + "/pc/config/1001.json", 1 << 20);
  writeFileAtomic(installer_, std::string(70000, 'j'));
  Report rebuilt("package");
  runPackage(package("1001"), rebuilt);
  const nlohmann::json json = rebuilt.toJson();
  EXPECT_EQ(json["entries"][0]["problems"][0]["field"], "installer.url (--url)");
  EXPECT_EQ(*readSmallFile(root_ + "/pc/config/1001.json", 1 << 20), before);
  EXPECT_EQ(*readSmallFile(root_ + "/pc/installers/1001/setup.exe", 1 << 20),
            std::string(70000, 'i'));
}

TEST_F(Tree, CheckHoldsInstallersToTheirSizeAndDigest) {
  for (const char* id : {"1001", "1002", "1003"}) {
    PackageOptions options = package(id);
    Report report("package");
    runPackage(options, report);
    ASSERT_TRUE(report.ok());
  }
  writeFileAtomic(root_ + "/pc/installers/1002/setup.exe", std::string(70000, 'x'));
  fs::remove(root_ + "/pc/installers/1003/setup.exe");
  writeFileAtomic(root_ + "/pc/config/0123.json", "{}");

  const nlohmann::json report = check();
  EXPECT_FALSE(report["ok"]);
  EXPECT_TRUE(entry(report, "pc/config/1001.json")["ok"]);
  EXPECT_EQ(entry(report, "pc/config/1002.json")["problems"][0]["playerMessage"],
            "安装文件校验失败，请重试");
  EXPECT_EQ(entry(report, "pc/config/1003.json")["problems"][0]["found"], "missing");
  EXPECT_EQ(entry(report, "pc/config/0123.json")["problems"][0]["field"], "file name");
  // No manifest: every shell would stop at its first request.
  EXPECT_EQ(entry(report, "pc/shell/latest.json")["problems"][0]["found"], "missing");
}

TEST_F(Tree, ShellAnnouncesOnlyANewer32BitShell) {
  testing::PeShape shape;
  shape.versionCode = 3;
  const std::string exe = dir_ + "/zrq-setup.exe";
  writeFileAtomic(exe, testing::buildPe(shape));
  ShellOptions options{root_, exe, "https://files.example.com/pc/shell/3/zrq-setup.exe",
                       false, true, "files.example.com"};
  Report first("shell");
  runShell(options, first);
  ASSERT_TRUE(first.ok()) << first.toJson().dump();
  const auto manifest =
      nlohmann::json::parse(*readSmallFile(root_ + "/pc/shell/latest.json", 1 << 20));
  EXPECT_EQ(manifest["versionCode"], "3");
  EXPECT_EQ(manifest["shell"]["type"], "exe");
  EXPECT_TRUE(entry(check(), "pc/shell/latest.json")["ok"]) << check().dump();

  Report again("shell");
  runShell(options, again);
  EXPECT_EQ(again.toJson()["entries"][0]["problems"][0]["field"], "versionCode");
  options.force = true;
  Report forced("shell");
  runShell(options, forced);
  EXPECT_TRUE(forced.ok());

  shape.machine = 0x8664;
  shape.magic = 0x20B;
  writeFileAtomic(exe, testing::buildPe(shape));
  Report wide("shell");
  runShell(options, wide);
  EXPECT_EQ(wide.toJson()["entries"][0]["problems"][0]["field"], "--exe");
}

TEST_F(Tree, NameMakesACopyTheShellReadsTheIdFrom) {
  const std::string exe = dir_ + "/zrq-setup.exe";
  writeFileAtomic(exe, testing::buildPe(testing::PeShape{}));
  Report named("name");
  runName({exe, "1001", "星海", dir_}, named);
  ASSERT_TRUE(named.ok()) << named.toJson().dump();
  EXPECT_EQ(*readSmallFile(dir_ + "/星海_Setup_pc1001.exe", 1 << 20), *readSmallFile(exe, 1 << 20));

  for (const auto& [id, game] : {std::pair{"01", "g"}, {"1", "a/b"}, {"1", ""}}) {
    Report refused("name");
    runName({exe, id, game, dir_}, refused);
    EXPECT_FALSE(refused.ok()) << id << " " << game;
  }
}

}  // namespace
}  // namespace zrq::channel
