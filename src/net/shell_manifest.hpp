#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

namespace cv {

std::uint32_t parseVersionCode(const nlohmann::json& value);

// null when there is no newer shell than ownVersion; otherwise a copy of the
// manifest's "shell" descriptor with "versionCode" set to the number.
nlohmann::json evaluateShellManifest(const nlohmann::json& manifest, std::uint32_t ownVersion);

}  // namespace cv
