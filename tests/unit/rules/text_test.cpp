#include "platform/text.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace cv {
namespace {

template <typename F>
void expectError(F&& call, const char* message) {
  try {
    call();
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -1);
    EXPECT_STREQ(error.what(), message);
  }
}

TEST(TextConversion, EmptyStaysEmpty) {
  EXPECT_EQ(toUtf8(L""), "");
  EXPECT_EQ(toWide(""), L"");
}

TEST(TextConversion, ChineseRoundTripsExactly) {
  EXPECT_EQ(toUtf8(L"取消"), "\xE5\x8F\x96\xE6\xB6\x88");
  EXPECT_EQ(toWide(toUtf8(L"正在安装《游戏》")), L"正在安装《游戏》");
  EXPECT_EQ(toWide("\xF0\x9F\x8E\xAE"), std::wstring(L"\U0001F3AE"));  // outside the BMP
}

TEST(TextConversion, EmbeddedNulIsKept) {
  const std::wstring wide(L"a\0b", 3);
  const std::string narrow("a\0b", 3);
  EXPECT_EQ(toUtf8(wide), narrow);
  EXPECT_EQ(toWide(narrow), wide);
}

TEST(TextConversion, InvalidInputFailsWholly) {
  expectError([] { toWide("\xC3\x28"); }, "Invalid UTF-8");
  expectError([] { toWide("ok\xED\xA0\x80"); }, "Invalid UTF-8");  // encoded surrogate
  expectError([] { toWide("\xC0\xAF"); }, "Invalid UTF-8");        // overlong
  expectError([] { toWide("\xF0\x80\x80\xAF"); }, "Invalid UTF-8");  // overlong, four bytes
  expectError([] { toWide("\xF4\x90\x80\x80"); }, "Invalid UTF-8");  // above U+10FFFF
  expectError([] { toWide("a\xE6\xB8"); }, "Invalid UTF-8");        // cut short
  expectError([] { toWide("\x80"); }, "Invalid UTF-8");              // stray continuation
  expectError([] { toUtf8(std::wstring(L"x") + L'\xD800'); }, "Invalid Unicode");
  expectError([] { toUtf8(std::wstring(1, L'\xDC00') + L"y"); }, "Invalid Unicode");
}

}  // namespace
}  // namespace cv
