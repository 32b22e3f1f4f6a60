#include "app/system_dpi.hpp"

#include <gtest/gtest.h>
#include <windows.h>

namespace cv {
namespace {

TEST(SystemDpi, TheScreenGivesTheSameValueWhereGetDpiForSystemIsMissing) {
  const int current = systemDpi();
  ::SetEnvironmentVariableW(L"ZRQ_TEST_ABSENT", L"GetDpiForSystem");
  const int fallback = systemDpi();
  ::SetEnvironmentVariableW(L"ZRQ_TEST_ABSENT", nullptr);
  EXPECT_GE(current, 96);
  EXPECT_EQ(fallback, current);
}

}  // namespace
}  // namespace cv
