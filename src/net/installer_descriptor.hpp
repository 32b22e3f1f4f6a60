#pragma once

#include <nlohmann/json.hpp>

namespace cv {

// Checks type, sha256, sizeBytes and url in that order; throws Error(-5, ...)
// at the first failure, or the JSON library's error for a missing member.
void validateInstallerDescriptor(const nlohmann::json& descriptor);

}  // namespace cv
