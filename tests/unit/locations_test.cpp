#include "platform/locations.hpp"

#include <gtest/gtest.h>

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

#include "platform/text.hpp"

namespace cv {
namespace {

std::wstring localAppData() {
  PWSTR folder = nullptr;
  EXPECT_TRUE(SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder)));
  std::wstring text(folder ? folder : L"");
  ::CoTaskMemFree(folder);
  return text;
}

TEST(Locations, SdkRootAndGameDirectoriesLieUnderLocalAppData) {
  const std::wstring base = localAppData();
  ASSERT_FALSE(base.empty());
  EXPECT_EQ(sdkRootDirectory(), base + L"\\CorvaneSDK");
  EXPECT_EQ(appsDirectory("abc_1"), base + L"\\CorvaneSDK\\apps\\abc_1");
}

TEST(Locations, ComputingPathsCreatesNothing) {
  const std::string key = "zrq-test-" + newAttemptId();
  const std::wstring directory = appsDirectory(key);
  EXPECT_FALSE(std::filesystem::exists(directory));
}

TEST(Locations, ExecutablePathNamesTheRunningProgram) {
  const std::filesystem::path self(executablePath());
  EXPECT_TRUE(self.is_absolute());
  EXPECT_EQ(self.filename(), L"zrq_unit_tests.exe");
  EXPECT_TRUE(std::filesystem::is_regular_file(self));
}

}  // namespace
}  // namespace cv
