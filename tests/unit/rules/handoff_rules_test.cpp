#include "session/rules/handoff_rules.hpp"

#include <string>

#include <gtest/gtest.h>

#include "platform/text.hpp"

namespace cv {
namespace {

TEST(HandoffRules, EventNameFormAcceptsOnlyThePrefixAndTheSixtyFourCharacters) {
  const std::wstring prefix = L"Local\\ZRQUpdate-";
  EXPECT_TRUE(isValidHandoffEventName(prefix));
  EXPECT_TRUE(isValidHandoffEventName(prefix + L"0A1b-\\Z" + std::wstring(99 - 23, L'9')));
  EXPECT_FALSE(isValidHandoffEventName(prefix + std::wstring(100 - 16, L'A')));
  EXPECT_FALSE(isValidHandoffEventName(L"Local\\ZRQUpdate"));
  for (const wchar_t* bad : {L"local\\ZRQUpdate-A", L"Local\\ZRQUPDATE-A", L"Global\\ZRQUpdate-A",
                             L"Local\\ZRQUpdate-A_B", L"Local\\ZRQUpdate-A B", L"Local\\ZRQUpdate-é"}) {
    EXPECT_FALSE(isValidHandoffEventName(bad)) << toUtf8(bad);
  }
}

TEST(HandoffRules, CommandLineQuotesThePathAndListsTheThreeOptions) {
  EXPECT_EQ(handoffCommandLine(L"C:\\T\\Game_Setup_pc123.exe", 3, 1, L"Local\\ZRQUpdate-AB"),
            L"\"C:\\T\\Game_Setup_pc123.exe\" --update-target 3 --update-hops 1 --update-ready Local\\ZRQUpdate-AB");
  EXPECT_EQ(handoffCommandLine(L"C:\\a b\\x.exe", 4294967295u, 3, L"N"),
            L"\"C:\\a b\\x.exe\" --update-target 4294967295 --update-hops 3 --update-ready N");
}

}  // namespace
}  // namespace cv
