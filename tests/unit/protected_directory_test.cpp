#include "platform/protected_directory.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform_test_support.hpp"

namespace cv {
namespace {

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
