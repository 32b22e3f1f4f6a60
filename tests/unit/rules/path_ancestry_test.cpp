#include "platform/rules/path_ancestry.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace cv {
namespace {

using Paths = std::vector<std::wstring>;

TEST(PathAncestry, WalkYieldsThePathEveryAncestorAndTheRoot) {
  EXPECT_EQ(selfAndAncestors(L"C:\\a\\b"), (Paths{L"C:\\a\\b", L"C:\\a", L"C:\\"}));
  EXPECT_EQ(selfAndAncestors(L"C:/a\\b\\"), (Paths{L"C:/a\\b\\", L"C:/a\\b", L"C:/a", L"C:/"}));
  EXPECT_EQ(selfAndAncestors(L"C:\\a\\\\b"), (Paths{L"C:\\a\\\\b", L"C:\\a", L"C:\\"}));
  EXPECT_EQ(selfAndAncestors(L"C:\\"), (Paths{L"C:\\"}));
  EXPECT_EQ(selfAndAncestors(L"a\\b"), (Paths{L"a\\b", L"a"}));
  EXPECT_EQ(selfAndAncestors(L""), Paths{});
  // Roots without a drive or without a root directory end the walk too.
  EXPECT_EQ(selfAndAncestors(L"C:"), (Paths{L"C:"}));
  EXPECT_EQ(selfAndAncestors(L"C:a\\b"), (Paths{L"C:a\\b", L"C:a", L"C:"}));
  EXPECT_EQ(selfAndAncestors(L"\\a\\b"), (Paths{L"\\a\\b", L"\\a", L"\\"}));
  EXPECT_FALSE(selfAndAncestors(L"\\\\server\\share\\dir").empty());
}

}  // namespace
}  // namespace cv
