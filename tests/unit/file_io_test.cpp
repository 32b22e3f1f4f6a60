#include "platform/file_io.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "core/error.hpp"
#include "platform_test_support.hpp"

namespace cv {
namespace {

using testing::ScratchDirectory;
using testing::errorFrom;
using testing::temporaryFilesIn;
using testing::readBytes;
using testing::writeBytes;

TEST(AtomicWrite, WritesNewFilesIncludingEmptyOnesAndMissingParents) {
  ScratchDirectory scratch;
  const std::wstring empty = scratch.file(L"empty.json");
  writeFileAtomic(empty, "");
  ASSERT_TRUE(std::filesystem::exists(empty));
  EXPECT_EQ(std::filesystem::file_size(empty), 0u);

  const std::wstring nested = scratch.file(L"a\\b\\channel.json");
  const std::string content("{\"x\":1}\0\xFF", 9);
  writeFileAtomic(nested, content);
  EXPECT_EQ(readBytes(nested), content);
  EXPECT_EQ(temporaryFilesIn(scratch.path() / L"a" / L"b"), 0);
}

TEST(AtomicWrite, ReplacesAnExistingTarget) {
  ScratchDirectory scratch;
  const std::wstring target = scratch.file(L"channel.json");
  writeBytes(target, std::string(5000, 'o'));
  writeFileAtomic(target, "new");
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_EQ(temporaryFilesIn(scratch.path()), 0);
}

TEST(AtomicWrite, FailedReplaceLeavesTargetAndNoTemporaryFile) {
  ScratchDirectory scratch;
  // A directory cannot be replaced by a file: the rename fails after the write.
  const std::wstring target = scratch.file(L"occupied");
  std::filesystem::create_directory(target);
  const Error error = errorFrom([&] { writeFileAtomic(target, "content"); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "Atomic write failed");
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(temporaryFilesIn(scratch.path()), 0);
}

TEST(AtomicWrite, UncreatableTemporaryFileIsReportedAndTouchesNothing) {
  ScratchDirectory scratch;
  // The target name is legal, but with ".<36 characters>.tmp" appended it is
  // longer than a file name may be.
  const std::wstring target = scratch.file(std::wstring(240, L'n'));
  writeBytes(target, "old");
  const Error error = errorFrom([&] { writeFileAtomic(target, "new"); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "Atomic create failed");
  EXPECT_EQ(readBytes(target), "old");
  EXPECT_EQ(temporaryFilesIn(scratch.path()), 0);
}

TEST(BoundedRead, AcceptsUpToTheLimitAndRefusesOneByteMore) {
  ScratchDirectory scratch;
  const std::wstring atLimit = scratch.file(L"at-limit");
  std::string content(131072, 'a');
  content[0] = '\xEF';  // bytes come back unchanged, a BOM-like start included
  content[131071] = '\0';
  writeBytes(atLimit, content);
  EXPECT_EQ(readFileBounded(atLimit, 131072), content);

  const std::wstring overLimit = scratch.file(L"over-limit");
  writeBytes(overLimit, std::string(131073, 'a'));
  const Error error = errorFrom([&] { readFileBounded(overLimit, 131072); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "File exceeds limit");
}

TEST(BoundedRead, EmptyFileGivesEmptyBytesAndMissingFileFails) {
  ScratchDirectory scratch;
  const std::wstring empty = scratch.file(L"empty");
  writeBytes(empty, "");
  EXPECT_EQ(readFileBounded(empty, 0), "");

  const Error error = errorFrom([&] { readFileBounded(scratch.file(L"missing"), 131072); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "Read failed");
}

TEST(FileOperations, ExistenceAnswersFalseOnlyForAbsence) {
  ScratchDirectory scratch;
  const std::wstring file = scratch.file(L"present");
  writeBytes(file, "x");
  EXPECT_TRUE(pathExists(file));
  EXPECT_TRUE(pathExists(scratch.path().wstring()));
  EXPECT_FALSE(pathExists(scratch.file(L"missing")));
  EXPECT_FALSE(pathExists(scratch.file(L"missing\\inner")));
}

TEST(FileOperations, RemovingAFileDeletesItAndAMissingOneIsNoFailure) {
  ScratchDirectory scratch;
  const std::wstring file = scratch.file(L"doomed");
  writeBytes(file, "x");
  EXPECT_TRUE(removeFile(file));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(removeFile(file));
}

TEST(FileOperations, RemovingADirectoryAsAFileIsASystemError) {
  ScratchDirectory scratch;
  const std::wstring directory = scratch.file(L"dir");
  std::filesystem::create_directories(directory);
  try {
    removeFile(directory);
    FAIL() << "directory removed as a file";
  } catch (const std::system_error& error) {
    EXPECT_NE(std::string(error.what()).find("remove"), std::string::npos) << error.what();
  }
  EXPECT_TRUE(std::filesystem::is_directory(directory));
}

TEST(FileOperations, QuietRemovalLeavesADirectoryThatStillHoldsAFile) {
  ScratchDirectory scratch;
  const std::wstring directory = scratch.file(L"staging");
  std::filesystem::create_directories(directory);
  const std::wstring file = directory + L"\\original.exe";
  writeBytes(file, "x");
  removeEmptyDirectoryQuietly(directory);
  EXPECT_TRUE(std::filesystem::exists(file));
  removeFileQuietly(file);
  removeFileQuietly(file);
  EXPECT_FALSE(std::filesystem::exists(file));
  removeEmptyDirectoryQuietly(directory);
  EXPECT_FALSE(std::filesystem::exists(directory));
  removeEmptyDirectoryQuietly(directory);
}

}  // namespace
}  // namespace cv
