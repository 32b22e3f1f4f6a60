// Replacing a file that another process briefly holds, and who owns what the
// shell writes. Wine renames over open files; the test build's sharing seam
// makes the replace fail as Windows does while a handle does not share deletion.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "net/verified_download.hpp"
#include "platform/file_io.hpp"
#include "platform/process_identity.hpp"
#include "platform/protected_directory.hpp"
#include "platform/test_seams.hpp"
#include "download_doubles.hpp"
#include "platform_test_support.hpp"

namespace cv {
namespace {

using testing::ScratchDirectory;
using testing::errorFrom;
using testing::temporaryFilesIn;
using testing::readBytes;
using testing::writeBytes;

// Opened for reading as a game or a virus scanner would, not sharing deletion.
HANDLE holdForReading(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A record "old" that a reader holds open, and Windows' sharing rule in force.
class HeldRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetEnvironmentVariableW(L"ZRQ_TEST_WINDOWS_SHARING", L"1");
    writeBytes(target, "old");
    held = holdForReading(target);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  void TearDown() override { ::SetEnvironmentVariableW(L"ZRQ_TEST_WINDOWS_SHARING", nullptr); }

  ScratchDirectory scratch;
  const std::wstring target = scratch.file(L"channel.json");
  HANDLE held = INVALID_HANDLE_VALUE;
};

TEST_F(HeldRecord, AReaderThatLetsGoWithinHalfASecondIsWaitedOut) {
  std::thread reader([this] {
    ::Sleep(200);
    ::CloseHandle(held);
  });
  writeFileAtomic(target, "new");
  reader.join();
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_EQ(temporaryFilesIn(scratch.path()), 0);
}

TEST_F(HeldRecord, TheWriterGivesUpWhileTheReaderStillHoldsItAndLeavesTheOldContent) {
  std::atomic<bool> released{false};
  std::thread reader([this, &released] {
    ::Sleep(3000);
    released = true;
    ::CloseHandle(held);
  });
  const Error error = errorFrom([&] { writeFileAtomic(target, "new"); });
  const bool gaveUpWhileHeld = !released;
  reader.join();
  EXPECT_STREQ(error.what(), "Atomic write failed");
  EXPECT_TRUE(gaveUpWhileHeld);
  EXPECT_EQ(readBytes(target), "old");
  EXPECT_EQ(temporaryFilesIn(scratch.path()), 0);
}

// Under Wine the token's default owner is not its user (it is the "None" group),
// so this takes the path an elevated run takes on Windows. Wine makes every
// file the user's whatever it is asked and ignores owners given to directories;
// the owner asked for is what the test build notes, and the rule that gives a
// directory back to the user is tested on its own.
TEST(Ownership, FilesTheShellWritesAreCreatedAsTheUsers) {
  const std::optional<std::wstring> user = processIdentity().user;
  ASSERT_TRUE(user);
  ASSERT_TRUE(processIdentity().defaultOwner);
  ASSERT_NE(processIdentity().defaultOwner, user);
  ScratchDirectory scratch;
  const std::wstring directory = scratch.file(L"apps\\game_1");
  createProtectedDirectory(directory);
  seams::forgetNoted();
  const std::wstring target = directory + L"\\channel.json";
  writeFileAtomic(target, "{}");
  EXPECT_EQ(readBytes(target), "{}");

  // A download's file, made before the transfer (which the checkpoint stops here).
  InstallerDescriptor descriptor;
  descriptor.url = "https://files.zrq.test/i.exe";
  descriptor.sha256 = std::string(64, 'a');
  descriptor.size = 1;
  testing::RecordingRun stop;
  stop.onCheckpoint = [] { throw Error(Cancelled, "stop"); };
  errorFrom([&] {
    downloadToFile(descriptor, directory + L"\\original.exe", KeptPlace{directory + L"\\partial", "1"},
                   stop);
  });
  EXPECT_EQ(seams::noted(seams::Noted::NewFileOwner),
            (std::vector<std::optional<std::wstring>>{user, user}));
}

}  // namespace
}  // namespace cv
