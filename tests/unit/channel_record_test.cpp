#include "session/channel_record.hpp"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "app/error.hpp"
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

// Runs on its own thread: a mutex owned by one thread is busy for every other.
bool acquiredOnAnotherThread(const std::wstring& name) {
  return std::async(std::launch::async, [&] {
           const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
           const DWORD waited = ::WaitForSingleObject(mutex, 0);
           if (waited == WAIT_OBJECT_0) ::ReleaseMutex(mutex);
           ::CloseHandle(mutex);
           return waited == WAIT_OBJECT_0;
         }).get();
}

class ChannelRecord : public testing::Test {
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
  EXPECT_THROW(restoreChannelRecord(appId, backup), Error);
}

TEST_F(ChannelRecord, PreviousRecordIsLimitedTo131072Bytes) {
  fs::create_directories(directory);
  put(std::string(131073, 'x'));
  try {
    writeChannelRecord(appId, "c1");
    ADD_FAILURE() << "an oversized record was replaced";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -9);
    EXPECT_STREQ(error.what(), "File exceeds limit");
  }
  EXPECT_EQ(content(), std::string(131073, 'x'));

  put(std::string(131072, 'y'));
  const ChannelRecordBackup backup = writeChannelRecord(appId, "c1");
  restoreChannelRecord(appId, backup);
  EXPECT_EQ(content(), std::string(131072, 'y'));
}

TEST_F(ChannelRecord, BusyWhileAnotherHolderHasTheLockAndFreeAfterwards) {
  std::promise<void> held, done;
  std::thread holder([&] {
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, lockName.c_str());
    ::WaitForSingleObject(mutex, 0);
    held.set_value();
    done.get_future().wait();
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
  });
  held.get_future().wait();
  try {
    writeChannelRecord(appId, "c1");
    ADD_FAILURE() << "written under another holder's lock";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -3);
    EXPECT_STREQ(error.what(), "Channel record is being written");
  }
  done.set_value();
  holder.join();
  EXPECT_FALSE(fs::exists(record));

  // Keeps the mutex alive, so a lock that was not released would still be owned by this thread.
  const HANDLE observer = ::CreateMutexW(nullptr, FALSE, lockName.c_str());
  const ChannelRecordBackup backup = writeChannelRecord(appId, "c1");
  EXPECT_TRUE(acquiredOnAnotherThread(lockName));
  restoreChannelRecord(appId, backup);
  EXPECT_TRUE(acquiredOnAnotherThread(lockName));
  ::CloseHandle(observer);
}

}  // namespace
}  // namespace cv
