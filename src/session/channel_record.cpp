#include "session/channel_record.hpp"
#include "core/messages.hpp"

#include "core/error.hpp"
#include "platform/file_io.hpp"
#include "platform/locations.hpp"
#include "platform/named_mutex.hpp"
#include "platform/protected_directory.hpp"
#include "platform/text.hpp"

namespace cv {

ChannelRecordLock::ChannelRecordLock(const std::string& appId)
    : mutex_(createNamedMutex(L"Local\\CorvaneSDK-" + toWide(appId), msg::kGameLockFailed)) {
  if (!tryAcquireMutex(mutex_.get())) {
    mutex_.reset();
    throw Error(Busy, msg::kRecordBeingWritten);
  }
}

ChannelRecordLock::~ChannelRecordLock() {
  if (mutex_) ::ReleaseMutex(mutex_.get());
}

std::string channelRecordText(const nlohmann::json& channelCode) {
  nlohmann::json record = nlohmann::json::object();
  record["channelCode"] = channelCode;
  return record.dump();
}

ChannelRecordBackup writeChannelRecord(const std::string& appId, const nlohmann::json& channelCode) {
  const std::wstring directory = appsDirectory(appId);
  createProtectedDirectory(directory);

  ChannelRecordBackup backup;
  backup.path = directory + L"\\channel.json";
  backup.written = channelRecordText(channelCode);

  ChannelRecordLock lock(appId);
  backup.existed = pathExists(backup.path);
  // Kept as raw bytes, never parsed: whatever was there can be put back.
  if (backup.existed) backup.previous = readFileBounded(backup.path, kChannelRecordLimit);
  writeFileAtomic(backup.path, backup.written);
  return backup;
}

void restoreChannelRecord(const std::string& appId, const ChannelRecordBackup& backup) {
  ChannelRecordLock lock(appId);
  const std::string current = readFileBounded(backup.path, kChannelRecordLimit);
  // Someone else rewrote the record after us: theirs stays.
  if (current != backup.written) return;
  if (backup.existed) {
    writeFileAtomic(backup.path, backup.previous);
  } else {
    removeFile(backup.path);
  }
}

}  // namespace cv
