#include "net/installer_descriptor.hpp"

#include <string>

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace cv {
namespace {

using nlohmann::json;

const std::string kDigest(64, 'a');

json validDescriptor() {
  return {{"type", "exe"},
          {"url", "https://files.zrq.test/g/setup.exe"},
          {"sha256", kDigest},
          {"sizeBytes", "1234"}};
}

json with(const char* key, json value) {
  json descriptor = validDescriptor();
  descriptor[key] = std::move(value);
  return descriptor;
}

void expectInvalid(const json& descriptor, const char* message) {
  SCOPED_TRACE(descriptor.dump().substr(0, 200));
  try {
    validateInstallerDescriptor(descriptor);
    ADD_FAILURE() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -5);
    EXPECT_STREQ(error.what(), message);
  }
}

TEST(InstallerDescriptor, AcceptsExeAndMsiWithExtraMembersAndLeavesThemAlone) {
  json descriptor = with("type", "msi");
  descriptor["publisherSha256"] = "x";
  const json before = descriptor;
  EXPECT_NO_THROW(validateInstallerDescriptor(descriptor));
  EXPECT_EQ(descriptor, before);
  EXPECT_NO_THROW(validateInstallerDescriptor(validDescriptor()));
}

TEST(InstallerDescriptor, TypeMustBeLowerCaseExeOrMsi) {
  for (const json& type : {json("EXE"), json("Msi"), json("zip"), json(""), json(1), json(nullptr)}) {
    expectInvalid(with("type", type), "安装器类型无效");
  }
}

TEST(InstallerDescriptor, Sha256MustBe64LowerCaseHexDigits) {
  for (const std::string& digest :
       {std::string(64, 'A'), std::string(63, 'a'), std::string(65, 'a'), std::string(64, 'g'),
        std::string(), " " + std::string(63, 'a')}) {
    expectInvalid(with("sha256", digest), "安装器校验信息无效");
  }
  EXPECT_NO_THROW(validateInstallerDescriptor(
      with("sha256", "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef")));
}

TEST(InstallerDescriptor, SizeMustBeDecimalTextWithoutLeadingZero) {
  for (const char* size : {"0", "0123", "1234567890123456", "", "12a", "-1", " 1"}) {
    expectInvalid(with("sizeBytes", size), "安装器大小无效");
  }
  EXPECT_NO_THROW(validateInstallerDescriptor(with("sizeBytes", "999999999999999")));
  EXPECT_NO_THROW(validateInstallerDescriptor(with("sizeBytes", "1")));
}

TEST(InstallerDescriptor, UrlMustBeTextOfAtMost16384Bytes) {
  EXPECT_NO_THROW(validateInstallerDescriptor(with("url", std::string(16384, 'u'))));
  EXPECT_NO_THROW(validateInstallerDescriptor(with("url", "")));
  expectInvalid(with("url", std::string(16385, 'u')), "下载地址无效");
  expectInvalid(with("url", 5), "下载地址无效");
  expectInvalid(with("url", nullptr), "下载地址无效");
}

TEST(InstallerDescriptor, ReportsOnlyTheFirstFailingRule) {
  json descriptor = with("type", "EXE");
  descriptor["sha256"] = "bad";
  descriptor["sizeBytes"] = "0";
  descriptor["url"] = 1;
  expectInvalid(descriptor, "安装器类型无效");
  descriptor["type"] = "exe";
  expectInvalid(descriptor, "安装器校验信息无效");
  descriptor["sha256"] = kDigest;
  expectInvalid(descriptor, "安装器大小无效");
}

TEST(InstallerDescriptor, MissingMembersAndWrongTypesAreLibraryErrors) {
  json missingUrl = validDescriptor();
  missingUrl.erase("url");
  EXPECT_THROW(validateInstallerDescriptor(missingUrl), json::out_of_range);
  EXPECT_THROW(validateInstallerDescriptor(with("sizeBytes", 1234)), json::type_error);
  EXPECT_THROW(validateInstallerDescriptor(with("sha256", nullptr)), json::type_error);
  EXPECT_THROW(validateInstallerDescriptor(json::array()), json::type_error);
}

}  // namespace
}  // namespace cv
