#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace cv {

using AttemptLog = nlohmann::json;

AttemptLog newAttemptLog(const std::string& attemptId);
// The file's exact text: two-space indentation, no final line break.
std::string serializeAttemptLog(const AttemptLog& log);
// Sets sdkCode and writes logs \ attemptId.json; never throws.
void writeAttemptLog(AttemptLog& log, const std::string& attemptId, std::int32_t resultCode) noexcept;

}  // namespace cv
