#include "session/channel_record.hpp"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "expect_error.hpp"
#include "platform/locations.hpp"
#include "platform/text.hpp"

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(ChannelRecordText, IsCompactRawUtf8WithStandardEscapes) {
  EXPECT_EQ(channelRecordText("c1"), "{\"channelCode\":\"c1\"}");
  EXPECT_EQ(channelRecordText("c1").size(), 20u);
  EXPECT_EQ(channelRecordText("渠道"), "{\"channelCode\":\"渠道\"}");
  EXPECT_EQ(channelRecordText("a\"b\\"), "{\"channelCode\":\"a\\\"b\\\\\"}");
}

// A mutex owned by one thread is busy for every other thread of the process.
bool acquiredOnAnotherThread(const std::wstring& name) {
  return std::async(std::launch::async, [&] {
           const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
           const bool acquired = ::WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0;
           if (acquired) ::ReleaseMutex(mutex);
           ::CloseHandle(mutex);
           return acquired;
         }).get();
}

class ChannelRecord : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(directory); }
  void put(const std::string& bytes) { std::ofstream(record, std::ios::binary) << bytes; }
  std::string content() const {
    std::ifstream file(record, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  const std::string appId = "unit-" + newAttemptId();
  const fs::path directory = appsDirectory(appId);
  const fs::path record = directory / "channel.json";
  const std::wstring lockName = L"Local\\CorvaneSDK-" + toWide(appId);
};

TEST_F(ChannelRecord, WithoutPreviousRecordRestoreRemovesFileButKeepsDirectory) {
  const ChannelRecordBackup backup = writeChannelRecord(appId, "c1");
  EXPECT_FALSE(backup.existed);
  EXPECT_EQ(backup.path, record.wstring());
  EXPECT_EQ(content(), "{\"channelCode\":\"c1\"}");
  restoreChannelRecord(appId, backup);
  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(fs::is_directory(directory));
}

TEST_F(ChannelRecord, ReplacesAnyPreviousContentAndRestoresItByteForByte) {
  fs::create_directories(directory);
  put("abc");
  const ChannelRecordBackup backup = writeChannelRecord(appId, "渠道");
  EXPECT_TRUE(backup.existed);
  EXPECT_EQ(backup.previous, "abc");
  EXPECT_EQ(content(), "{\"channelCode\":\"渠道\"}");
  restoreChannelRecord(appId, backup);
  EXPECT_EQ(content(), "abc");
}

TEST_F(ChannelRecord, RestoreLeavesAnotherWritersRecordAndFailsWhenItVanished) {
  const ChannelRecordBackup backup = writeChannelRecord(appId, "c1");
  put("{\"channelCode\":\"theirs\"}");
  restoreChannelRecord(appId, backup);
  EXPECT_EQ(content(), "{\"channelCode\":\"theirs\"}");

  fs::remove(record);
  expectError([&] { restoreChannelRecord(appId, backup); }, -9, "Read failed");
}

TEST_F(ChannelRecord, PreviousRecordIsLimitedTo131072Bytes) {
  fs::create_directories(directory);
  put(std::string(131073, 'x'));
  expectError([&] { writeChannelRecord(appId, "c1"); }, -9, "File exceeds limit");
  EXPECT_EQ(content(), std::string(131073, 'x'));

  put(std::string(131072, 'y'));
  const ChannelRecordBackup backup = writeChannelRecord(appId, "c1");
  restoreChannelRecord(appId, backup);
  EXPECT_EQ(content(), std::string(131072, 'y'));
}

TEST_F(ChannelRecord, BusyWhileAnotherHolderHasTheLockAndFreeAfterwards) {
  const HANDLE held = ::CreateMutexW(nullptr, FALSE, lockName.c_str());
  ASSERT_EQ(::WaitForSingleObject(held, 0), WAIT_OBJECT_0);
  std::async(std::launch::async, [&] {
    expectError([&] { writeChannelRecord(appId, "c1"); }, -3, "Channel record is being written");
  }).get();
  ::ReleaseMutex(held);
  EXPECT_FALSE(fs::exists(record));

  // The open handle keeps the mutex alive: a lock left unreleased would still be owned by this thread.
  const ChannelRecordBackup backup = writeChannelRecord(appId, "c1");
  EXPECT_TRUE(acquiredOnAnotherThread(lockName));
  restoreChannelRecord(appId, backup);
  EXPECT_TRUE(acquiredOnAnotherThread(lockName));
  ::CloseHandle(held);
}

}  // namespace
}  // namespace cv
