#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "platform/handles.hpp"

namespace cv {

inline constexpr std::uint32_t kChannelRecordLimit = 131072;

struct ChannelRecordBackup {
  std::wstring path;
  bool existed = false;
  std::string previous;
  std::string written;
};

// "Local\CorvaneSDK-" + appId, tried once; released when the scope ends.
class ChannelRecordLock {
 public:
  explicit ChannelRecordLock(const std::string& appId);
  ~ChannelRecordLock();
  ChannelRecordLock(const ChannelRecordLock&) = delete;
  ChannelRecordLock& operator=(const ChannelRecordLock&) = delete;

 private:
  KernelHandle mutex_;
};

// The compact one-member record text for a channel code.
std::string channelRecordText(const nlohmann::json& channelCode);

ChannelRecordBackup writeChannelRecord(const std::string& appId, const nlohmann::json& channelCode);
void restoreChannelRecord(const std::string& appId, const ChannelRecordBackup& backup);

}  // namespace cv
