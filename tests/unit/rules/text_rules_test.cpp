#include "net/rules/text_rules.hpp"

#include <gtest/gtest.h>

#include <string>

namespace cv {
namespace {

using namespace std::string_literals;


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

}  // namespace
}  // namespace cv
