#include "platform/rules/owner_rules.hpp"

#include <gtest/gtest.h>

namespace cv {
namespace {

constexpr wchar_t kPlayer[] = L"S-1-5-21-1004336348-1177238915-682003330-1001";
constexpr wchar_t kAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kAccessRule[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;OW)";

TEST(DirectoryOwner, ADirectoryThePlayerOwnsGetsTheAccessRuleAlone) {
  const DirectorySecurity security = protectedDirectorySecurity(kPlayer, kPlayer);
  EXPECT_EQ(security.sddl, kAccessRule);
  EXPECT_EQ(security.information, 0x80000004ul);  // protected DACL, DACL
}

TEST(DirectoryOwner, ADirectoryAnElevatedRunMadeIsGivenBackToThePlayer) {
  const DirectorySecurity security = protectedDirectorySecurity(kAdministrators, kPlayer);
  EXPECT_EQ(security.sddl, std::wstring(L"O:") + kPlayer + kAccessRule);
  EXPECT_EQ(security.information, 0x80000005ul);  // and the owner
}

TEST(DirectoryOwner, WhatCannotBeReadChangesNothing) {
  for (const auto& [owner, user] :
       {std::pair<std::optional<std::wstring>, std::optional<std::wstring>>{std::nullopt, kPlayer},
        {kAdministrators, std::nullopt},
        {std::nullopt, std::nullopt},
        {std::wstring(), kPlayer},
        {kAdministrators, std::wstring()}}) {
    const DirectorySecurity security = protectedDirectorySecurity(owner, user);
    EXPECT_EQ(security.sddl, kAccessRule);
    EXPECT_EQ(security.information, 0x80000004ul);
  }
}

TEST(CreatorOwner, FilesAreMadeThePlayersOnlyWhenTheyWouldBelongToSomeoneElse) {
  EXPECT_EQ(creatorOwnerOverride(kPlayer, kPlayer), std::nullopt);
  EXPECT_EQ(creatorOwnerOverride(kAdministrators, kPlayer), std::optional<std::wstring>(kPlayer));
  EXPECT_EQ(creatorOwnerOverride(std::nullopt, kPlayer), std::nullopt);
  EXPECT_EQ(creatorOwnerOverride(kAdministrators, std::nullopt), std::nullopt);
}

TEST(Elevation, TheTokenSaysOrTheOwnerOfWhatItCreates) {
  const struct {
    std::optional<bool> elevated;
    std::optional<int> type;
    std::optional<std::wstring> owner;
    bool expected;
  } cases[] = {
      {false, 3, kPlayer, false},            // a player's ordinary run (limited token)
      {true, 2, kAdministrators, true},      // "as administrator"
      {false, 2, kPlayer, true},             // full token, however it reads otherwise
      {false, 1, kAdministrators, true},     // UAC off: the Administrators own what it makes
      {std::nullopt, std::nullopt, kPlayer, false},
      {std::nullopt, std::nullopt, kAdministrators, true},
  };
  for (const auto& c : cases) EXPECT_EQ(isElevatedToken(c.elevated, c.type, c.owner), c.expected);
  EXPECT_TRUE(isAdministrativeOwner(L"S-1-5-18", std::nullopt));
  EXPECT_TRUE(isAdministrativeOwner(kAdministrators, std::nullopt));
  EXPECT_FALSE(isAdministrativeOwner(kPlayer, std::nullopt));
  EXPECT_TRUE(isAdministrativeOwner(kPlayer, std::optional<std::wstring>(kPlayer)));
}

}  // namespace
}  // namespace cv
