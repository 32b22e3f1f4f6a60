#include "session/rules/staging_cleanup_rules.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/rules/staging_layout.hpp"

namespace cv {
namespace {

constexpr std::uint64_t kNow = 133800000000000000ull;  // in 2025
constexpr std::uint64_t kDay = 24 * kFileTimeHour;
const std::wstring kAttempt = L"0A1B2C3D-4E5F-6789-ABCD-EF0123456789";

DirectoryEntry entry(const std::wstring& name, std::uint64_t age, bool directory = false,
                     bool link = false) {
  return {name, directory, link, 10, kNow - age};
}

TEST(StagingLayout, OnlyTheShellsOwnNamesAreItsOwn) {
  EXPECT_TRUE(isAttemptDirectoryName(kAttempt));
  for (const wchar_t* name : {L"0a1b2c3d-4e5f-6789-abcd-ef0123456789", L"0A1B2C3D-4E5F-6789-ABCD-EF012345678",
                              L"0A1B2C3D+4E5F-6789-ABCD-EF0123456789", L"0A1B2C3D-4E5F-6789-ABCD-EF0123456789x"})
    EXPECT_FALSE(isAttemptDirectoryName(name)) << name;
  const std::wstring e(64, L'e');
  EXPECT_EQ(keptPartialName("1234", std::string(64, 'e'), 786486), L"1234-" + e + L"-786486");
  for (const std::wstring& name : {std::wstring(64, L'0') + L"-999999999999999", L"shell-" + e + L"-1",
                                   L"4294967295-" + e + L"-1"})
    EXPECT_TRUE(isKeptPartialName(name)) << name;
  for (const std::wstring& name : {std::wstring(64, L'0') + L"-0786486", std::wstring(64, L'A') + L"-1",
                                   std::wstring(63, L'0') + L"-1", std::wstring(64, L'0') + L"-1.tmp",
                                   L"01-" + e + L"-1", L"x-" + e + L"-1", L"-" + e + L"-1"})
    EXPECT_FALSE(isKeptPartialName(name)) << name;
  // A new kept download replaces only its own package's earlier ones.
  const std::wstring current = L"1234-" + e + L"-10";
  EXPECT_TRUE(isEarlierPartialOf(L"1234-" + std::wstring(64, L'a') + L"-10", current));
  for (const std::wstring& name : {current, L"12345-" + e + L"-9", L"shell-" + e + L"-9",
                                   e + L"-9", std::wstring(L"1234-notes.txt")})
    EXPECT_FALSE(isEarlierPartialOf(name, current)) << name;
  EXPECT_TRUE(isPackageFileName(L"SETUP.MSI"));
  EXPECT_FALSE(isPackageFileName(L"msi"));
}

TEST(StagingLayout, AnElevatedRunStagesApartAndTakesNothingFromEarlierRuns) {
  EXPECT_EQ(elevatedStagingChain(L"C:\\ProgramData", L"S-1-5-21-1-2-3-1001"),
            (std::vector<std::wstring>{L"C:\\ProgramData\\CorvaneSDK",
                                       L"C:\\ProgramData\\CorvaneSDK\\S-1-5-21-1-2-3-1001",
                                       L"C:\\ProgramData\\CorvaneSDK\\S-1-5-21-1-2-3-1001\\temp"}));
  const StagingRules normal = stagingRulesFor(false), elevated = stagingRulesFor(true);
  EXPECT_TRUE(normal.reuseVerifiedCopies && normal.keepPartials && normal.cleanUp);
  EXPECT_FALSE(elevated.reuseVerifiedCopies || elevated.keepPartials || elevated.cleanUp);
}

// The end-to-end test shows old, recent, package, empty and linked directories
// and the kept downloads' ages; these are the cases it does not make.
TEST(StagingCleanup, AnythingUnusualInADirectoryKeepsIt) {
  const DirectoryEntry old = entry(kAttempt, 2 * kDay, true);
  EXPECT_TRUE(isStaleStagingDirectory(old, {entry(L"original.exe", kDay + 1)}, kNow));
  EXPECT_FALSE(isStaleStagingDirectory(old, {entry(L"original.exe", kDay)}, kNow));
  EXPECT_FALSE(isStaleStagingDirectory(old, {{L"original.exe", false, false, 1, kNow + kDay}}, kNow));
  EXPECT_FALSE(isStaleStagingDirectory(old, {entry(L"original.exe", 2 * kDay, false, true)}, kNow));
  EXPECT_FALSE(isStaleStagingDirectory(old, {entry(L"sub", 2 * kDay, true)}, kNow));
  EXPECT_FALSE(isStaleStagingDirectory(old, {entry(L"a.exe", 2 * kDay), entry(L"b.Msi", 2 * kDay)}, kNow));
  EXPECT_FALSE(isStaleStagingDirectory(entry(kAttempt, 2 * kDay), {}, kNow));  // a file of that name
  EXPECT_FALSE(isStaleKeptPartial(entry(std::wstring(64, L'a') + L"-10", 100 * kDay, true), kNow));
  EXPECT_FALSE(isStaleKeptPartial(entry(std::wstring(64, L'a') + L"-10", 100 * kDay, false, true), kNow));
}

}  // namespace
}  // namespace cv
