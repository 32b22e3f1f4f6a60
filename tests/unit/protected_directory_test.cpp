#include "platform/protected_directory.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/path_ancestry.hpp"
#include "platform_test_support.hpp"

namespace cv {
namespace {

using Paths = std::vector<std::wstring>;

TEST(ProtectedDirectory, WalkExaminesThePathEveryAncestorAndTheRoot) {
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

TEST(ProtectedDirectory, CreatesMissingAncestorsAndAcceptsAnExistingDirectory) {
  testing::ScratchDirectory scratch;
  const std::wstring path = scratch.file(L"temp\\attempt\\inner");
  createProtectedDirectory(path);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  createProtectedDirectory(path);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  // The directory is usable by its owner afterwards.
  testing::writeBytes(path + L"\\file", "x");
  EXPECT_EQ(testing::readBytes(path + L"\\file"), "x");
}

TEST(ProtectedDirectory, UncreatableDirectoryIsAFileSystemError) {
  testing::ScratchDirectory scratch;
  testing::writeBytes(scratch.file(L"plain"), "x");
  try {
    createProtectedDirectory(scratch.file(L"plain\\sub"));
    FAIL() << "directory created";
  } catch (const std::system_error& error) {
    EXPECT_NE(std::string(error.what()).find("create_directories"), std::string::npos)
        << error.what();
    EXPECT_NE(std::string(error.what()).find("plain\\sub"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace cv
