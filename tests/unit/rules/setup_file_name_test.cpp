#include "net/rules/setup_file_name.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace cv {
namespace {

constexpr const char* kIncomplete = "安装文件名称不完整，请重新下载";
constexpr const char* kTooLarge = "安装文件标识无效，请重新下载";

void expectRejected(const std::wstring& name, const char* message) {
  SCOPED_TRACE(testing::Message() << "name length " << name.size() << ", expected " << message);
  try {
    const std::string id = packageIdFromFileName(name);
    ADD_FAILURE() << "accepted with id " << id;
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -1);
    EXPECT_STREQ(error.what(), message);
  }
}

TEST(SetupFileName, ReadsThePackageIdWithOrWithoutACopySuffix) {
  EXPECT_EQ(packageIdFromFileName(L"Game_Setup_pc123.exe"), "123");
  EXPECT_EQ(packageIdFromFileName(L"Game_Setup_pc123 (2).exe"), "123");
  EXPECT_EQ(packageIdFromFileName(L"Game_Setup_pc123(2).exe"), "123");
  EXPECT_EQ(packageIdFromFileName(L"Game_Setup_pc123 (17).exe"), "123");
  EXPECT_EQ(packageIdFromFileName(L"_Setup_pc123.exe"), "123");
  EXPECT_EQ(packageIdFromFileName(L"游戏_Setup_pc9.exe"), "9");
}

TEST(SetupFileName, IgnoresCaseOfMarkerAndExtension) {
  EXPECT_EQ(packageIdFromFileName(L"GAME_SETUP_PC123.EXE"), "123");
  EXPECT_EQ(packageIdFromFileName(L"game_setup_Pc123.Exe"), "123");
}

TEST(SetupFileName, ACopySuffixOfTwoDigitsAndTenDigitIds) {
  EXPECT_EQ(packageIdFromFileName(L"Game_Setup_pc123 (10).exe"), "123");
  EXPECT_EQ(packageIdFromFileName(L"_SETUP_PC7 (3).EXE"), "7");
  EXPECT_EQ(packageIdFromFileName(L"x_sEtUp_Pc1234567890.eXe"), "1234567890");
  using namespace std::string_literals;
  expectRejected(L"Game_Setup_pc123.exe\0"s, kIncomplete);
  expectRejected(L"Game_Setup_pc1\0.exe"s, kIncomplete);
}

TEST(SetupFileName, TakesTheOccurrenceThatReachesTheEnd) {
  EXPECT_EQ(packageIdFromFileName(L"a_Setup_pc12345678901_Setup_pc5.exe"), "5");
  EXPECT_EQ(packageIdFromFileName(L"_Setup_pc_Setup_pc8(1).exe"), "8");
  EXPECT_EQ(packageIdFromFileName(L"_Setup_pc_setup_pc_SETUP_PC9.exe"), "9");
  EXPECT_EQ(packageIdFromFileName(L"a_Setup_pc1.exe_Setup_pc2.exe"), "2");
  EXPECT_EQ(packageIdFromFileName(L"a_Setup_pc1_Setup_pc2 (3).exe"), "2");
}

TEST(SetupFileName, AcceptsIdsUpToTheUnsigned32BitMaximum) {
  EXPECT_EQ(packageIdFromFileName(L"Game_Setup_pc4294967295.exe"), "4294967295");
  EXPECT_EQ(packageIdFromFileName(L"Game_Setup_pc999999999.exe"), "999999999");
  expectRejected(L"Game_Setup_pc4294967296.exe", kTooLarge);
  expectRejected(L"Game_Setup_pc9999999999 (2).exe", kTooLarge);
}

TEST(SetupFileName, RejectsNamesThatDoNotEndInMarkerIdAndExe) {
  for (const wchar_t* name : {
           L"Game_Setup_pc0123.exe",         // leading zero
           L"Game_Setup_pc12345678901.exe",  // 11 digits
           L"Game_Setup_pc123 (0).exe",      // copy number with a zero
           L"Game_Setup_pc123 (02).exe",
           L"Game_Setup_pc123  (2).exe",  // two spaces
           L"Game_Setup_pc123 ().exe",
           L"Game_Setup_pc123.exe.part",
           L"Game_Setup_pc123.exe ",
           L"Game_Setup_pc.exe",
           L"Game_Setup_pc123.msi",
           L"GameSetup_pc123.exe",
           L"",
           L"Game_Setup_pc123 (2.exe",
           L"Game_Setup_pc123 2).exe",
           L"Game_Setup_pc123 (2)(3).exe",
           L"Game_Setup_pc123 .exe",
           L"Game_Setup_pc123.ex",
           L"Game_Setup_pc123exe",
           L"Game-Setup_pc123.exe",
           L"Game_Setup pc123.exe",
           L"Game_Setup_pc\xFF11\xFF12.exe",
           L"_Setup_pc",
           L".exe",
       }) {
    expectRejected(name, kIncomplete);
  }
}

TEST(SetupFileName, LooksOnlyAtTheGivenName) {
  // A path is not split: the caller passes the last component only.
  expectRejected(L"C:\\dl\\x_Setup_pc9.exe\\setup.exe", kIncomplete);
}

}  // namespace
}  // namespace cv
