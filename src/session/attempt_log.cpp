#include "session/attempt_log.hpp"

#include "platform/file_io.hpp"
#include "platform/locations.hpp"
#include "platform/protected_directory.hpp"
#include "platform/text.hpp"

namespace cv {

AttemptLog newAttemptLog(const std::string& attemptId) {
  AttemptLog log = AttemptLog::object();
  log["attemptId"] = attemptId;
  log["testOnly"] = false;
  return log;
}

std::string serializeAttemptLog(const AttemptLog& log) {
  // Strict: a string that is not valid UTF-8 throws instead of being written.
  return log.dump(2);
}

void writeAttemptLog(AttemptLog& log, const std::string& attemptId, std::int32_t resultCode) noexcept {
  // The log is the last thing a run does; losing it must never change the outcome.
  try {
    log["sdkCode"] = resultCode;
    const std::wstring logsDirectory = sdkRootDirectory() + L"\\logs";
    createProtectedDirectory(logsDirectory);
    const std::string text = serializeAttemptLog(log);
    writeFileAtomic(sdkRootDirectory() + L"\\logs\\" + toWide(attemptId + ".json"), text);
  } catch (...) {
  }
}

}  // namespace cv
