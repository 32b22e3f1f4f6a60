#include "net/rules/text_rules.hpp"

#include <gtest/gtest.h>

#include <string>

namespace cv {
namespace {

using namespace std::string_literals;

std::wstring digitsOf(const std::wstring& name) {
  return setupFileNameDigits(name).value_or(L"<none>");
}

TEST(TextRules, Sha256NeedsExactly64LowerHexCharacters) {
  const std::string valid(64, 'a');
  EXPECT_TRUE(isLowerHexSha256(valid));
  EXPECT_TRUE(isLowerHexSha256(std::string(32, '0') + std::string(32, 'f')));
  EXPECT_FALSE(isLowerHexSha256(std::string(63, 'a')));
  EXPECT_FALSE(isLowerHexSha256(std::string(65, 'a')));
  EXPECT_FALSE(isLowerHexSha256(""));
  EXPECT_FALSE(isLowerHexSha256(std::string(63, 'a') + "A"));
  EXPECT_FALSE(isLowerHexSha256(std::string(63, 'a') + "g"));
  EXPECT_FALSE(isLowerHexSha256(std::string(63, 'a') + "\0"s));
  EXPECT_FALSE(isLowerHexSha256(std::string(63, 'a') + "\xe0"));
}

TEST(TextRules, PositiveDecimalHasNoLeadingZeroAndBoundedLength) {
  EXPECT_TRUE(isPositiveDecimal("1", 10));
  EXPECT_TRUE(isPositiveDecimal("9999999999", 10));
  EXPECT_TRUE(isPositiveDecimal("999999999999999", 15));
  EXPECT_FALSE(isPositiveDecimal("1000000000000000", 15));
  EXPECT_FALSE(isPositiveDecimal("12345678901", 10));
  EXPECT_FALSE(isPositiveDecimal("", 10));
  EXPECT_FALSE(isPositiveDecimal("0", 10));
  EXPECT_FALSE(isPositiveDecimal("01", 10));
  EXPECT_FALSE(isPositiveDecimal("+1", 10));
  EXPECT_FALSE(isPositiveDecimal("-1", 10));
  EXPECT_FALSE(isPositiveDecimal(" 1", 10));
  EXPECT_FALSE(isPositiveDecimal("1 ", 10));
  EXPECT_FALSE(isPositiveDecimal("1a", 10));
  EXPECT_FALSE(isPositiveDecimal("1\0"s, 10));
}

TEST(TextRules, PlainIdentifierAllowsLettersDigitsUnderscoreAndHyphen) {
  EXPECT_TRUE(isPlainIdentifier("a", 128));
  EXPECT_TRUE(isPlainIdentifier("Zz09_-", 128));
  EXPECT_TRUE(isPlainIdentifier("-", 128));
  EXPECT_TRUE(isPlainIdentifier(std::string(128, 'x'), 128));
  EXPECT_FALSE(isPlainIdentifier(std::string(129, 'x'), 128));
  EXPECT_FALSE(isPlainIdentifier("", 128));
  EXPECT_FALSE(isPlainIdentifier("a b", 128));
  EXPECT_FALSE(isPlainIdentifier("a.b", 128));
  EXPECT_FALSE(isPlainIdentifier("a/b", 128));
  EXPECT_FALSE(isPlainIdentifier("a\0"s, 128));
  EXPECT_FALSE(isPlainIdentifier("\xc3\xa9", 128));
}

TEST(TextRules, SetupFileNameDigitsAcceptCopySuffixes) {
  EXPECT_EQ(digitsOf(L"Game_Setup_pc123.exe"), L"123");
  EXPECT_EQ(digitsOf(L"Game_Setup_pc123 (2).exe"), L"123");
  EXPECT_EQ(digitsOf(L"Game_Setup_pc123(2).exe"), L"123");
  EXPECT_EQ(digitsOf(L"Game_Setup_pc123 (10).exe"), L"123");
  EXPECT_EQ(digitsOf(L"_SETUP_PC7 (3).EXE"), L"7");
  EXPECT_EQ(digitsOf(L"x_sEtUp_Pc1234567890.eXe"), L"1234567890");
}

TEST(TextRules, SetupFileNameDigitsRejectMalformedNames) {
  for (const wchar_t* name :
       {L"Game_Setup_pc.exe", L"Game_Setup_pc0123.exe", L"Game_Setup_pc12345678901.exe",
        L"Game_Setup_pc123 (0).exe", L"Game_Setup_pc123 (02).exe", L"Game_Setup_pc123  (2).exe",
        L"Game_Setup_pc123 ().exe", L"Game_Setup_pc123 (2.exe", L"Game_Setup_pc123 2).exe",
        L"Game_Setup_pc123 (2)(3).exe", L"Game_Setup_pc123 .exe", L"Game_Setup_pc123.exe.part",
        L"Game_Setup_pc123.exe ", L"Game_Setup_pc123.ex", L"Game_Setup_pc123exe",
        L"Game-Setup_pc123.exe", L"Game_Setup pc123.exe",
        L"Game_Setup_pc\xFF11\xFF12.exe", L"", L"_Setup_pc", L".exe"}) {
    EXPECT_FALSE(setupFileNameDigits(name).has_value()) << testing::PrintToString(name);
  }
  EXPECT_FALSE(setupFileNameDigits(L"Game_Setup_pc123.exe\0"s).has_value());
  EXPECT_FALSE(setupFileNameDigits(L"Game_Setup_pc1\0.exe"s).has_value());
}

TEST(TextRules, SetupFileNameDigitsTakeTheLeftmostOccurrenceReachingTheEnd) {
  EXPECT_EQ(digitsOf(L"a_Setup_pc1.exe_Setup_pc2.exe"), L"2");
  EXPECT_EQ(digitsOf(L"a_Setup_pc12345678901_Setup_pc5.exe"), L"5");
  EXPECT_EQ(digitsOf(L"_Setup_pc_Setup_pc8(1).exe"), L"8");
  EXPECT_EQ(digitsOf(L"_Setup_pc_setup_pc_SETUP_PC9.exe"), L"9");
}

}  // namespace
}  // namespace cv
