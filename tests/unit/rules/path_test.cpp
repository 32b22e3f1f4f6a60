#include "platform/rules/path.hpp"

#include <gtest/gtest.h>

#include <string>

namespace cv {
namespace {

TEST(Path, JoinInsertsOneBackslashBetweenParts) {
  EXPECT_EQ(joinPath(L"C:\\Users\\me", L"CorvaneSDK"), L"C:\\Users\\me\\CorvaneSDK");
  EXPECT_EQ(joinPath(L"a", L"b"), L"a\\b");
  EXPECT_EQ(joinPath(joinPath(L"C:\\root", L"temp"), L"ID"), L"C:\\root\\temp\\ID");
  EXPECT_EQ(joinPath(L"C:/x", L"y"), L"C:/x\\y");
}

TEST(Path, JoinAddsNoSeparatorAfterEmptyDriveOrTrailingSeparator) {
  EXPECT_EQ(joinPath(L"", L"b"), L"b");
  EXPECT_EQ(joinPath(L"C:", L"b"), L"C:b");
  EXPECT_EQ(joinPath(L"C:\\", L"b"), L"C:\\b");
  EXPECT_EQ(joinPath(L"C:\\a\\", L"b"), L"C:\\a\\b");
  EXPECT_EQ(joinPath(L"C:\\a/", L"b"), L"C:\\a/b");
  EXPECT_EQ(joinPath(L"\\", L"b"), L"\\b");
}

TEST(Path, JoinWithAnAbsoluteRightPartReplacesTheLeft) {
  EXPECT_EQ(joinPath(L"C:\\a", L"D:\\b"), L"D:\\b");
  EXPECT_EQ(joinPath(L"C:\\a", L"\\b"), L"\\b");
  EXPECT_EQ(joinPath(L"C:\\a", L"/b"), L"/b");
  EXPECT_EQ(joinPath(L"C:\\a", L"D:b"), L"D:b");
  EXPECT_EQ(joinPath(L"", L"\\b"), L"\\b");
}

TEST(Path, ParentDropsTheLastComponentAndItsSeparators) {
  EXPECT_EQ(parentPath(L"C:\\a\\b"), L"C:\\a");
  EXPECT_EQ(parentPath(L"C:\\a\\\\b"), L"C:\\a");
  EXPECT_EQ(parentPath(L"C:/a/b"), L"C:/a");
  EXPECT_EQ(parentPath(L"C:\\a\\b\\"), L"C:\\a\\b");
  EXPECT_EQ(parentPath(L"C:\\temp\\ID\\original.exe"), L"C:\\temp\\ID");
}

TEST(Path, ParentOfARootIsTheRoot) {
  EXPECT_EQ(parentPath(L"C:\\a"), L"C:\\");
  EXPECT_EQ(parentPath(L"C:/a"), L"C:/");
  EXPECT_EQ(parentPath(L"C:\\"), L"C:\\");
  EXPECT_EQ(parentPath(L"C:"), L"C:");
  EXPECT_EQ(parentPath(L"C:a"), L"C:");
  EXPECT_EQ(parentPath(L"\\a"), L"\\");
  EXPECT_EQ(parentPath(L"\\"), L"\\");
  EXPECT_EQ(parentPath(L"\\\\server\\share"), L"\\\\server\\");
}

TEST(Path, ParentOfARelativePathWalksUpToEmpty) {
  EXPECT_EQ(parentPath(L"a\\b\\c"), L"a\\b");
  EXPECT_EQ(parentPath(L"a\\b"), L"a");
  EXPECT_EQ(parentPath(L"a"), L"");
  EXPECT_EQ(parentPath(L""), L"");
}

TEST(Path, RootPathIsTheDriveServerOrSeparatorPrefix) {
  EXPECT_EQ(rootPath(L"C:\\a\\b"), L"C:\\");
  EXPECT_EQ(rootPath(L"C:a"), L"C:");
  EXPECT_EQ(rootPath(L"\\a"), L"\\");
  EXPECT_EQ(rootPath(L"\\\\server\\share"), L"\\\\server\\");
  EXPECT_EQ(rootPath(L"a\\b"), L"");
}

TEST(Path, FileNameIsTheLastComponent) {
  EXPECT_EQ(fileName(L"C:\\dir\\zrq-setup_123.exe"), L"zrq-setup_123.exe");
  EXPECT_EQ(fileName(L"C:/dir/x.exe"), L"x.exe");
  EXPECT_EQ(fileName(L"x.exe"), L"x.exe");
  EXPECT_EQ(fileName(L"C:x.exe"), L"x.exe");
  EXPECT_EQ(fileName(L"C:\\dir\\"), L"");
  EXPECT_EQ(fileName(L"C:\\"), L"");
  EXPECT_EQ(fileName(L"C:"), L"");
  EXPECT_EQ(fileName(L""), L"");
}

TEST(Path, AFinalPathComparesInItsUsualFormAndAnyLetterCase) {
  EXPECT_EQ(withoutLongPathPrefix(L"\\\\?\\C:\\Users\\a"), L"C:\\Users\\a");
  EXPECT_EQ(withoutLongPathPrefix(L"\\\\?\\UNC\\srv\\share\\a"), L"\\\\srv\\share\\a");
  EXPECT_EQ(withoutLongPathPrefix(L"C:\\a"), L"C:\\a");
  EXPECT_TRUE(samePathIgnoringCase(L"C:\\Users\\A\\temp", L"c:\\users\\a\\TEMP"));
  EXPECT_FALSE(samePathIgnoringCase(L"C:\\Users\\a\\temp", L"C:\\Users\\a\\temp2"));
  EXPECT_FALSE(samePathIgnoringCase(L"C:\\a\\b", L"C:\\a/b"));
}

}  // namespace
}  // namespace cv
