#include "session/staging_cleanup_rules.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/staging_layout.hpp"

namespace cv {
namespace {

constexpr std::uint64_t kNow = 133800000000000000ull;  // in 2025
constexpr std::uint64_t kMinute = kFileTimeHour / 60;
const std::wstring kAttempt = L"0A1B2C3D-4E5F-6789-ABCD-EF0123456789";
const std::wstring kKept =
    L"2ec39e83f6bb0f0a1e1b55a7d4fd1e3c3d8f1ee07e3c7b0f69a1a1b2c3d4e5f6-786486";

DirectoryEntry file(const std::wstring& name, std::uint64_t age) {
  return {name, false, false, 10, kNow - age};
}

DirectoryEntry directory(const std::wstring& name, std::uint64_t age = 0) {
  return {name, true, false, 0, kNow - age};
}

TEST(StagingLayout, NamesOfAttemptsAndKeptDownloads) {
  EXPECT_TRUE(isAttemptDirectoryName(kAttempt));
  for (const wchar_t* name : {L"0a1b2c3d-4e5f-6789-abcd-ef0123456789", L"partial",
                              L"0A1B2C3D-4E5F-6789-ABCD-EF012345678", L"0A1B2C3D+4E5F-6789-ABCD-EF0123456789",
                              L"0A1B2C3D-4E5F-6789-ABCD-EF0123456789x", L"G A1B2C3D-4E5F-6789-ABCD-EF01234567"})
    EXPECT_FALSE(isAttemptDirectoryName(name)) << name;

  EXPECT_EQ(keptPartialName(std::string(64, 'e'), 786486), std::wstring(64, L'e') + L"-786486");
  EXPECT_TRUE(isKeptPartialName(kKept));
  EXPECT_TRUE(isKeptPartialName(std::wstring(64, L'0') + L"-999999999999999"));
  for (const std::wstring& name : {std::wstring(64, L'0') + L"-0786486", std::wstring(64, L'0') + L"-",
                                   std::wstring(64, L'A') + L"-1", std::wstring(63, L'0') + L"-1",
                                   std::wstring(64, L'0') + L"-1.tmp", std::wstring(64, L'0') + L"-1234567890123456"})
    EXPECT_FALSE(isKeptPartialName(name)) << name;

  EXPECT_TRUE(isPackageFileName(L"original.msi"));
  EXPECT_TRUE(isPackageFileName(L"SETUP.MSI"));
  EXPECT_FALSE(isPackageFileName(L"original.exe"));
  EXPECT_FALSE(isPackageFileName(L"msi"));
}

TEST(StagingCleanup, ExeStagingGoesAfterADayPackagesAndLinksStay) {
  const std::uint64_t day = 24 * kFileTimeHour;
  struct Case {
    const char* what;
    DirectoryEntry entry;
    std::vector<DirectoryEntry> contents;
    bool stale;
  };
  DirectoryEntry link = directory(kAttempt, 2 * day);
  link.reparsePoint = true;
  DirectoryEntry linkedFile = file(L"original.exe", 2 * day);
  linkedFile.reparsePoint = true;
  const Case cases[] = {
      {"exe older than a day", directory(kAttempt), {file(L"original.exe", day + kMinute)}, true},
      {"shell older than a day", directory(kAttempt), {file(L"Game_Setup_pc1234.exe", 3 * day)}, true},
      {"exe of today", directory(kAttempt), {file(L"original.exe", day - kMinute)}, false},
      {"one file of today", directory(kAttempt),
       {file(L"original.exe", 2 * day), file(L"x.tmp", kMinute)}, false},
      {"written in the future", directory(kAttempt), {{L"original.exe", false, false, 1, kNow + day}}, false},
      {"package", directory(kAttempt), {file(L"original.msi", 300 * day)}, false},
      {"empty, old", directory(kAttempt, day + kMinute), {}, true},
      {"empty, new", directory(kAttempt, kMinute), {}, false},
      {"not an attempt", directory(L"partial", 30 * day), {file(kKept, 30 * day)}, false},
      {"a link", link, {file(L"original.exe", 2 * day)}, false},
      {"a link inside", directory(kAttempt), {linkedFile}, false},
      {"a directory inside", directory(kAttempt), {directory(L"sub", 2 * day)}, false},
      {"a file, not a directory", file(kAttempt, 2 * day), {}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(isStaleStagingDirectory(c.entry, c.contents, kNow), c.stale) << c.what;
}

TEST(StagingCleanup, KeptDownloadsGoAfterFourteenDays) {
  const std::uint64_t day = 24 * kFileTimeHour;
  EXPECT_TRUE(isStaleKeptPartial(file(kKept, 14 * day + kMinute), kNow));
  EXPECT_FALSE(isStaleKeptPartial(file(kKept, 14 * day - kMinute), kNow));
  EXPECT_FALSE(isStaleKeptPartial(file(L"notes.txt", 100 * day), kNow));
  DirectoryEntry linked = file(kKept, 100 * day);
  linked.reparsePoint = true;
  EXPECT_FALSE(isStaleKeptPartial(linked, kNow));
  EXPECT_FALSE(isStaleKeptPartial(directory(kKept, 100 * day), kNow));
}

}  // namespace
}  // namespace cv
