#include "session/attempt_log.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "platform/locations.hpp"
#include "platform/text.hpp"
#include "session/rules/download_log.hpp"

namespace cv {
namespace {

TEST(AttemptLog, HandedOffLogListsElevenMembersInKeyOrder) {
  AttemptLog log = newAttemptLog("A-1");
  log["launchWin32Error"] = 0u;
  log["status"] = "handed-off";
  log["shellVersion"] = 2u;
  log["sha256"] = "ab";
  log["channelCode"] = "渠道\"1";
  log["appId"] = "g1";
  log["motherId"] = 77;
  log["packageId"] = "1234";
  log["sdkCode"] = 0;
  EXPECT_EQ(serializeAttemptLog(log),
            "{\n  \"appId\": \"g1\",\n  \"attemptId\": \"A-1\",\n  \"channelCode\": \"渠道\\\"1\",\n"
            "  \"launchWin32Error\": 0,\n  \"motherId\": 77,\n  \"packageId\": \"1234\",\n  \"sdkCode\": 0,\n"
            "  \"sha256\": \"ab\",\n  \"shellVersion\": 2,\n  \"status\": \"handed-off\",\n  \"testOnly\": false\n}");
}

TEST(AttemptLog, UpdatedAndFailedLogsKeepKeyOrder) {
  AttemptLog updated = newAttemptLog("A-2");
  updated["toVersion"] = 3u;
  updated["status"] = "updated";
  updated["fromVersion"] = 2u;
  updated["packageId"] = "9";
  updated["sdkCode"] = 0;
  EXPECT_EQ(serializeAttemptLog(updated),
            "{\n  \"attemptId\": \"A-2\",\n  \"fromVersion\": 2,\n  \"packageId\": \"9\",\n  \"sdkCode\": 0,\n"
            "  \"status\": \"updated\",\n  \"testOnly\": false,\n  \"toVersion\": 3\n}");

  AttemptLog cancelled = newAttemptLog("A-3");
  cancelled["status"] = "failed";
  cancelled["status"] = "cancelled";
  cancelled["rollbackFailed"] = true;
  cancelled["launchWin32Error"] = 1223u;
  cancelled["sdkCode"] = -10;
  EXPECT_EQ(serializeAttemptLog(cancelled),
            "{\n  \"attemptId\": \"A-3\",\n  \"launchWin32Error\": 1223,\n  \"rollbackFailed\": true,\n"
            "  \"sdkCode\": -10,\n  \"status\": \"cancelled\",\n  \"testOnly\": false\n}");
}

TEST(AttemptLog, ADownloadIsRecordedOnlyWhenItTookMoreThanOneRequestOrEarlierBytes) {
  AttemptLog log = newAttemptLog("A-4");
  log["status"] = "handed-off";
  const std::string ordinary = serializeAttemptLog(log);
  recordDownload(log, DownloadReport{1, 0});
  EXPECT_EQ(serializeAttemptLog(log), ordinary);

  recordDownload(log, DownloadReport{3, 0});
  EXPECT_EQ(serializeAttemptLog(log),
            "{\n  \"attemptId\": \"A-4\",\n  \"downloadRequests\": 3,\n  \"downloadStartOffset\": 0,\n"
            "  \"status\": \"handed-off\",\n  \"testOnly\": false\n}");

  AttemptLog continued = newAttemptLog("A-5");
  recordDownload(continued, DownloadReport{1, 6000000000});
  EXPECT_EQ(continued["downloadRequests"], 1);
  EXPECT_EQ(continued["downloadStartOffset"], 6000000000u);
  AttemptLog reused = newAttemptLog("A-6");
  recordDownload(reused, DownloadReport{0, 786486});
  EXPECT_EQ(reused["downloadRequests"], 0);
}

std::filesystem::path logPath(const std::string& attemptId) {
  return std::filesystem::path(sdkRootDirectory()) / "logs" / (attemptId + ".json");
}

TEST(AttemptLog, WriteStoresTheLogWithItsResultCodeUnderLogs) {
  const std::string attemptId = newAttemptId();
  AttemptLog log = newAttemptLog(attemptId);
  log["status"] = "failed";
  writeAttemptLog(log, attemptId, -7);

  std::ifstream file(logPath(attemptId), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  file.close();
  std::filesystem::remove(logPath(attemptId));
  EXPECT_EQ(text, "{\n  \"attemptId\": \"" + attemptId +
                      "\",\n  \"sdkCode\": -7,\n  \"status\": \"failed\",\n  \"testOnly\": false\n}");
}

TEST(AttemptLog, WriteSwallowsALogThatCannotBeSerialised) {
  const std::string attemptId = newAttemptId();
  AttemptLog log = newAttemptLog(attemptId);
  log["status"] = "\xC3\x28";
  writeAttemptLog(log, attemptId, -1);
  EXPECT_EQ(log["sdkCode"], -1);
  EXPECT_FALSE(std::filesystem::exists(logPath(attemptId)));
}

}  // namespace
}  // namespace cv
