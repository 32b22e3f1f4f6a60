#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace cv {

// Checks type, sha256, sizeBytes and url in that order; throws Error(-5, ...)
// (a RuleError naming member + "." + the key) at the first failure, or the JSON
// library's error for a missing member. `member` is where the descriptor sits
// in its document: "installer" in a configuration, "shell" in the manifest.
void validateInstallerDescriptor(const nlohmann::json& descriptor,
                                 const std::string& member = "installer");

// The descriptor's sizeBytes text: decimal digits only, fitting in 64 bits.
std::uint64_t parseSizeBytes(const std::string& text);

}  // namespace cv
